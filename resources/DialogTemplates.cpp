#include "resources/DialogTemplates.h"

#include <array>

#include "resources/VersionInfo.h"

namespace ostrel {
namespace {

using enum ControlKind;

constexpr std::array kMainControls = {
    ControlTemplate{kNoControlId, Label, "&Site:", 7, 12, 53, 11, kStylePlain},
    ControlTemplate{kSiteCombo, ComboBox, "", 70, 9, 140, 14, kStylePlain},
    ControlTemplate{kSitesButton, PushButton, "S&ites...", 219, 9, 50, 14, kStylePlain},
    ControlTemplate{kNoControlId, Label, "&Local directory:", 7, 32, 53, 11, kStylePlain},
    ControlTemplate{kLocalDirEdit, Edit, "", 70, 29, 199, 14, kStylePlain},
    ControlTemplate{kNoControlId, Label, "&Remote FTP site:", 7, 52, 59, 11, kStylePlain},
    ControlTemplate{kHostEdit, Edit, "", 70, 49, 111, 14, kStylePlain},
    ControlTemplate{kNoControlId, Label, "&User:", 7, 70, 46, 10, kStylePlain},
    ControlTemplate{kNameEdit, Edit, "", 70, 67, 111, 14, kStylePlain},
    ControlTemplate{kNoControlId, Label, "&Password:", 7, 87, 58, 10, kStylePlain},
    ControlTemplate{kPasswordEdit, Edit, "", 70, 85, 111, 14, kStylePassword},
    ControlTemplate{kNoControlId, Label, "Remote &directory:", 7, 106, 58, 8, kStylePlain},
    ControlTemplate{kRemoteDirEdit, Edit, "", 70, 103, 199, 14, kStylePlain},
    ControlTemplate{kStatusLabel, Label, "", 7, 125, 261, 9, kStylePlain},
    ControlTemplate{kNoControlId, Label, "Total copied:", 7, 144, 42, 9, kStylePlain},
    ControlTemplate{kTotalLabel, Label, "", 56, 144, 46, 10, kStylePlain},
    ControlTemplate{kProgressBar, ProgressBar, "", 106, 143, 108, 11, kStylePlain},
    ControlTemplate{kDetailsButton, PushButton, "De&tails", 219, 142, 50, 14, kStyleToggle},
    // The Details pane, shown only while unfolded.
    ControlTemplate{kDetailsList, List, "", 7, 160, 262, 72, kStylePlain},
    ControlTemplate{kFailuresOnlyCheck, CheckBox, "&Failures only", 7, 238, 100, 10, kStylePlain},
    ControlTemplate{kOpenLogFolderButton, PushButton, "Open lo&g folder", 199, 236, 70, 14, kStylePlain},
    ControlTemplate{kProcessButton, PushButton, "&Process", 15, 164, 50, 14, kStyleDefaultButton},
    ControlTemplate{kCloseButton, PushButton, "&Close", 210, 164, 50, 14, kStylePlain},
    ControlTemplate{kOptionsButton, PushButton, "&Options...", 80, 164, 50, 14, kStylePlain},
    ControlTemplate{kAboutButton, PushButton, "About...", 145, 164, 50, 14, kStylePlain},
};

constexpr std::array kOptionsControls = {
    ControlTemplate{kOkButton, PushButton, "OK", 78, 192, 50, 14, kStyleDefaultButton},
    ControlTemplate{kCancelButton, PushButton, "Cancel", 144, 192, 50, 14, kStylePlain},
    ControlTemplate{kXcodeCheck, CheckBox, "&Translate to KOI8 files with extenstions:", 15, 7, 139, 10, kStylePlain},
    ControlTemplate{kExtensionsEdit, Edit, "", 39, 18, 226, 14, kStylePlain},
    ControlTemplate{kNoQMarksCheck, CheckBox, "&Convert invalid chars to spaces", 15, 37, 135, 9, kStylePlain},
    ControlTemplate{kSkipSpecialDirsCheck, CheckBox, "&Skip directories that start with underscore", 15, 64, 152, 8,
                    kStylePlain},
    ControlTemplate{kUpdateOnlyCheck, CheckBox, "Copy only files &updated since last copying", 15, 77, 152, 10,
                    kStylePlain},
    ControlTemplate{kRecurseCheck, CheckBox, "R&ecurse subdirectories", 15, 51, 142, 8, kStylePlain},
    ControlTemplate{kPassiveCheck, CheckBox, "&Passive data connections first", 15, 91, 152, 10, kStylePlain},
    ControlTemplate{kNoControlId, Label, "Co&nnections:", 15, 107, 50, 9, kStylePlain},
    ControlTemplate{kConnectionsSpin, SpinBox, "", 68, 105, 32, 13, kStylePlain},
    ControlTemplate{kNoControlId, Label, "Trusted cert&ificates (site and fingerprint):", 15, 124, 200, 9, kStylePlain},
    ControlTemplate{kCertificatesList, List, "", 15, 135, 192, 48, kStylePlain},
    ControlTemplate{kRemoveCertificateButton, PushButton, "&Remove", 215, 135, 50, 14, kStylePlain},
};

constexpr std::array kAboutControls = {
    ControlTemplate{kNoControlId, Icon, "", 11, 17, 21, 20, kStylePlain},
    ControlTemplate{kNoControlId, Label, "Ostrel Version 1.0 beta", 40, 10, 119, 8, kStyleLiteralAmpersand},
    ControlTemplate{kNoControlId, Label, version::kAboutNotice, 40, 25, 205, 35, kStylePlain},
    ControlTemplate{kOkButton, PushButton, "OK", 120, 173, 32, 14, kStyleDefaultButton},
    ControlTemplate{kNoControlId, Label,
                    "This utility serves as a convinient way to maintain a Russian virtual Web server running on "
                    "your provider's UNIX system. It copies files from a local directory tree to your Web site "
                    "file structure using the FTP protocol. ",
                    41, 66, 210, 37, kStylePlain},
    ControlTemplate{kNoControlId, Label, "", 41, 142, 210, 27, kStylePlain},
    ControlTemplate{kNoControlId, Label,
                    "To use this utility you must have Windows 95 or Windows NT and the Internet Explorer 3.0 "
                    "installed. If you does not have IE 3.0, just find WININET.DLL file (which is freely "
                    "redistributable) and copy it into Windows system folder.",
                    41, 105, 210, 35, kStylePlain},
};

constexpr DialogTemplate kMainDialog{102, "Ostrel", 276, 185, 8, kMainControls};
constexpr DialogTemplate kOptionsDialog{129, "Options", 272, 213, 8, kOptionsControls};
constexpr DialogTemplate kAboutDialog{100, "About Ostrel", 273, 194, 8, kAboutControls};

}  // namespace

const DialogTemplate& MainDialogTemplate() { return kMainDialog; }
const DialogTemplate& OptionsDialogTemplate() { return kOptionsDialog; }
const DialogTemplate& AboutDialogTemplate() { return kAboutDialog; }

}  // namespace ostrel
