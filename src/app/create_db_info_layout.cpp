// The main window: a fixed frame without border icons, the program's icon at the left, the
// status label with the progress bar below it.
#include "app/create_db_info.h"

namespace talvorin::app {

void TfrmCreateDBInfo::layOut()
{
    clientSize = {382, 54};
    borderStyle = ui::BorderStyle::Single;
    systemMenu = false;  // so no close box: nothing may end the run halfway
    Image1.setBounds({12, 11, 32, 32});
    Label1.setBounds({57, 8, 317, 21});
    pgbProcess.setBounds({57, 30, 317, 16});
}

}  // namespace talvorin::app
