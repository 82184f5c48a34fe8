// Where everything of the "SQL Server Information" window is: four framed groups top to
// bottom, OK and Cancel at the bottom right, each help button right of the field it
// explains. Positions are relative to the group a control sits in.
#include "sqlinfo/sql_info.h"

namespace talvorin::sqlinfo {
namespace {

constexpr int kEditHeight = 21;
constexpr int kLabelHeight = 13;
constexpr int kHelpSize = 21;

// The octet fields sit inside Shape1, 4 pixels below its top edge, one text line high.
constexpr ui::Rect kShape{2, 36, 125, kEditHeight};
constexpr int kOctetTop = kShape.top + 4;

void place(ui::Control& c, ui::GroupBox& group, ui::Rect r)
{
    c.parent = &group;
    c.setBounds(r);
}

ui::Font helpFont(const ui::Font& base)
{
    ui::Font f = base;
    f.bold = true;
    f.color = ui::Color::Blue;
    return f;
}

}  // namespace

ui::Rect TfrmSQLInfo::octetBounds(int k, std::size_t length)
{
    // The octet slots are 32 pixels apart; a field grows to the left as well when it
    // holds more than one character.
    const int slot = 32 * (k - 1);
    if (length <= 1) return {11 + slot, kOctetTop, 12, kLabelHeight};
    return {4 + slot, kOctetTop, 22, kLabelHeight};
}

void TfrmSQLInfo::layOut()
{
    clientSize = {378, 377};
    borderStyle = ui::BorderStyle::Dialog;
    systemMenu = true;

    grpAppPath.setBounds({8, 8, 362, 52});
    place(lbBrowse, grpAppPath, {10, 24, 40, kLabelHeight});
    lbBrowse.font.underline = true;
    lbBrowse.font.color = ui::Color::Blue;
    place(edtAppPath, grpAppPath, {52, 20, 276, kEditHeight});
    place(SpeedButton1, grpAppPath, {332, 20, kHelpSize, kHelpSize});

    grpDatabaseServer.setBounds({8, 68, 362, 80});
    place(lbIPAddress, grpDatabaseServer, {4, 20, 80, kLabelHeight});
    place(Shape1, grpDatabaseServer, kShape);
    ui::Edit* dots[] = {&edtIP1dot, &edtIP2dot, &edtIP3dot};
    for (int k = 1; k <= 4; ++k) {
        place(octet(k), grpDatabaseServer, octetBounds(k, 0));
        octet(k).bordered = false;
        // Each dot sits between the widest fields of its two octets.
        if (k < 4) place(*dots[k - 1], grpDatabaseServer, {28 + 32 * (k - 1), kOctetTop, 6, kLabelHeight});
    }
    for (ui::Edit* dot : dots) dot->bordered = false;
    place(SpeedButton2, grpDatabaseServer, {kShape.right() + 4, kShape.top, kHelpSize, kHelpSize});
    place(lbPortNo, grpDatabaseServer, {180, 20, 80, kLabelHeight});
    place(edtIPPortNo, grpDatabaseServer, {180, 36, 80, kEditHeight});
    place(SpeedButton3, grpDatabaseServer, {264, 36, kHelpSize, kHelpSize});

    grpAdministrator.setBounds({8, 156, 362, 80});
    place(lbLogin, grpAdministrator, {10, 24, 60, kLabelHeight});
    place(edtSQLLogin, grpAdministrator, {80, 20, 180, kEditHeight});
    place(lbNewSQLPassword, grpAdministrator, {10, 52, 60, kLabelHeight});
    place(edtSQLPassword, grpAdministrator, {80, 48, 180, kEditHeight});

    grpConnectionStatus.setBounds({8, 244, 362, 84});
    place(ProgressBar, grpConnectionStatus, {10, 24, 342, 16});
    place(Label1, grpConnectionStatus, {10, 52, 342, kLabelHeight});

    btnOK.setBounds({214, 340, 75, 25});
    btnCancel.setBounds({295, 340, 75, 25});

    for (ui::Button* help : {&SpeedButton1, &SpeedButton2, &SpeedButton3}) help->font = helpFont(font);
}

}  // namespace talvorin::sqlinfo
