#include "ui/posix/folder_chooser.h"

#include <filesystem>

#include "ui/backend.h"

namespace talvorin::ui {

void FolderChooser::okClick()
{
    std::error_code ec;
    // Only a folder of the file system can be chosen.
    if (std::filesystem::is_directory(edtFolder.text(), ec)) {
        setModalResult(ModalResult::Ok);
        return;
    }
    backend().messageBox(Box::error("There is no folder " + edtFolder.text() + "."));
    edtFolder.setFocus();
}

}  // namespace talvorin::ui
