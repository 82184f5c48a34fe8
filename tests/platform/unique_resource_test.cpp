#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "platform/scope_exit.h"
#include "platform/unique_resource.h"

namespace talvorin::platform {
namespace {

// Handles are small numbers, 0 is none; every close is recorded.
std::vector<int> closed;

struct CountedTraits {
    using Handle = int;
    static Handle invalid() noexcept { return 0; }
    static void close(Handle h) noexcept { closed.push_back(h); }
};
using Counted = UniqueResource<CountedTraits>;

class UniqueResourceTest : public ::testing::Test {
protected:
    void SetUp() override { closed.clear(); }
};

TEST_F(UniqueResourceTest, ClosesEachHandleExactlyOnce)
{
    {
        Counted none;
        EXPECT_FALSE(none);
        Counted a(1);
        EXPECT_TRUE(a);
        EXPECT_EQ(a.get(), 1);

        Counted b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(b.get(), 1);

        Counted c(2);
        c = std::move(b);  // 2 goes, 1 moves over
        EXPECT_EQ(closed, std::vector<int>{2});
        Counted& same = c;
        c = std::move(same);  // moving onto itself keeps it
        EXPECT_EQ(c.get(), 1);

        c.reset(3);
        EXPECT_EQ(closed, (std::vector<int>{2, 1}));

        Counted d(4);
        EXPECT_EQ(d.release(), 4);
        EXPECT_FALSE(d);

        Counted e(5), f(6);
        swap(e, f);
        EXPECT_EQ(e.get(), 6);
        EXPECT_EQ(f.get(), 5);
    }
    // 4 was released: nobody closes it here. The rest go in reverse order of declaration.
    EXPECT_EQ(closed, (std::vector<int>{2, 1, 5, 6, 3}));
}

TEST_F(UniqueResourceTest, PutClosesTheOldHandleBeforeTheOutParameterIsFilled)
{
    Counted r(7);
    int* out = r.put();
    EXPECT_EQ(closed, std::vector<int>{7});
    EXPECT_EQ(*out, 0);
    *out = 8;
    EXPECT_EQ(r.get(), 8);
    r.reset();
    EXPECT_EQ(closed, (std::vector<int>{7, 8}));
}

TEST(ScopeExit, RunsOnEveryWayOutUnlessDismissed)
{
    int runs = 0;
    {
        auto guard = scopeExit([&] { ++runs; });
    }
    EXPECT_EQ(runs, 1);
    try {
        auto guard = scopeExit([&] { ++runs; });
        throw std::runtime_error("leaving early");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(runs, 2);
    {
        auto guard = scopeExit([&] { ++runs; });
        guard.dismiss();
    }
    EXPECT_EQ(runs, 2);
    {
        auto first = scopeExit([&] { ++runs; });
        auto moved = std::move(first);  // only the new owner runs it
    }
    EXPECT_EQ(runs, 3);
}

}  // namespace
}  // namespace talvorin::platform
