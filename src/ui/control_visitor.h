#pragma once

#include <optional>
#include <type_traits>
#include <utility>

namespace talvorin::ui {

class Control;
class Label;
class Edit;
class Button;
class ProgressBar;
class Image;
class Shape;
class GroupBox;

// One call per kind of control. A front end draws each kind through one of these, so a kind
// it does not know is a compile error, never a control drawn as something else.
template <bool IsConst>
class BasicControlVisitor {
    template <typename Kind>
    using Ref = std::conditional_t<IsConst, const Kind&, Kind&>;

public:
    virtual ~BasicControlVisitor() = default;
    virtual void visit(Ref<Label>) = 0;
    virtual void visit(Ref<Edit>) = 0;
    virtual void visit(Ref<Button>) = 0;
    virtual void visit(Ref<ProgressBar>) = 0;
    virtual void visit(Ref<Image>) = 0;
    virtual void visit(Ref<Shape>) = 0;
    virtual void visit(Ref<GroupBox>) = 0;
};

using ControlVisitor = BasicControlVisitor<false>;
using ConstControlVisitor = BasicControlVisitor<true>;

// Lambdas, one per kind (or a generic one for the rest), as one callable.
template <typename... Fs>
struct Overloaded : Fs... {
    using Fs::operator()...;
};
template <typename... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

namespace detail {

template <typename C, typename Kind>
using Like = std::conditional_t<std::is_const_v<C>, const Kind, Kind>;

template <typename C, typename F>
using KindResult = std::invoke_result_t<F&, Like<C, Label>&>;

template <typename C, typename F>
class Calling final : public BasicControlVisitor<std::is_const_v<C>> {
public:
    using R = KindResult<C, F>;
    explicit Calling(F& f) : f_(f) {}
    void visit(Like<C, Label>& c) override { call(c); }
    void visit(Like<C, Edit>& c) override { call(c); }
    void visit(Like<C, Button>& c) override { call(c); }
    void visit(Like<C, ProgressBar>& c) override { call(c); }
    void visit(Like<C, Image>& c) override { call(c); }
    void visit(Like<C, Shape>& c) override { call(c); }
    void visit(Like<C, GroupBox>& c) override { call(c); }
    R result()
    {
        if constexpr (!std::is_void_v<R>) return std::move(*result_);
    }

private:
    template <typename K>
    void call(K& c)
    {
        if constexpr (std::is_void_v<R>)
            f_(c);
        else
            result_.emplace(f_(c));
    }
    F& f_;
    std::conditional_t<std::is_void_v<R>, bool, std::optional<R>> result_{};
};

}  // namespace detail

// Calls f with the control as its own kind; f answers every kind with the same type.
template <typename C, typename F>
requires std::is_base_of_v<Control, std::remove_const_t<C>>
auto onKind(C& control, F&& f)
{
    detail::Calling<C, std::remove_reference_t<F>> calling(f);
    control.accept(calling);
    return calling.result();
}

// The control as that kind; null when it is another.
template <typename Kind, typename C>
auto* as(C* control)
{
    using Result = detail::Like<C, Kind>*;
    if (control == nullptr) return Result{nullptr};
    return onKind(*control, Overloaded{[](detail::Like<C, Kind>& k) -> Result { return &k; },
                                       [](auto&) -> Result { return nullptr; }});
}

}  // namespace talvorin::ui
