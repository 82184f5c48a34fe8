#pragma once

#include <string>

#include "ui/controls.h"
#include "ui/form.h"

namespace talvorin::ui {

// The typed-path chooser: a title, the folder's path typed in a field, OK and Cancel.
class FolderChooser final : public Form {
public:
    FolderChooser(Backend& backend, const std::string& title)
        : Form(backend, "FolderChooser", "Browse for Folder"),
          lbTitle(*this, "lbTitle", title),
          edtFolder(*this, "edtFolder"),
          btnOK(*this, "btnOK", "OK"),
          btnCancel(*this, "btnCancel", "Cancel")
    {
        clientSize = {360, 90};
        lbTitle.setBounds({8, 8, 344, 13});
        edtFolder.setBounds({8, 28, 344, 21});
        btnOK.setBounds({196, 58, 75, 25});
        btnCancel.setBounds({277, 58, 75, 25});
        btnOK.isDefault = true;
        btnCancel.isCancel = true;
        btnCancel.modalResult = ModalResult::Cancel;
        btnOK.onClick = [this] { okClick(); };
    }
    Label lbTitle;
    Edit edtFolder;
    Button btnOK;
    Button btnCancel;

protected:
    void FormShow() override { edtFolder.setFocus(); }

private:
    void okClick();
};

}  // namespace talvorin::ui
