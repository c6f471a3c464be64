#include "resources/DialogTemplates.h"

#include <array>

#include "platform/Translation.h"
#include "resources/VersionInfo.h"

namespace ostrel {
namespace {

using enum ControlKind;

constexpr std::array kMainControls = {
    ControlTemplate{kNoControlId, Label, Translatable("&Site:"), 7, 12, 68, 11, kStylePlain},
    ControlTemplate{kSiteCombo, ComboBox, "", 78, 9, 132, 14, kStylePlain},
    ControlTemplate{kSitesButton, PushButton, Translatable("S&ites..."), 219, 9, 50, 14, kStylePlain},
    ControlTemplate{kNoControlId, Label, Translatable("&Local directory:"), 7, 32, 68, 11, kStylePlain},
    ControlTemplate{kLocalDirEdit, Edit, "", 78, 29, 191, 14, kStylePlain},
    ControlTemplate{kNoControlId, Label, Translatable("&Remote FTP site:"), 7, 52, 68, 11, kStylePlain},
    ControlTemplate{kHostEdit, Edit, "", 78, 49, 111, 14, kStylePlain},
    ControlTemplate{kNoControlId, Label, Translatable("&User:"), 7, 70, 68, 10, kStylePlain},
    ControlTemplate{kNameEdit, Edit, "", 78, 67, 111, 14, kStylePlain},
    ControlTemplate{kNoControlId, Label, Translatable("&Password:"), 7, 87, 68, 10, kStylePlain},
    ControlTemplate{kPasswordEdit, Edit, "", 78, 85, 111, 14, kStylePassword},
    ControlTemplate{kNoControlId, Label, Translatable("Remote &directory:"), 7, 106, 68, 8, kStylePlain},
    ControlTemplate{kRemoteDirEdit, Edit, "", 78, 103, 191, 14, kStylePlain},
    ControlTemplate{kStatusLabel, Label, "", 7, 125, 261, 9, kStylePlain},
    ControlTemplate{kNoControlId, Label, Translatable("Total copied:"), 7, 144, 48, 9, kStylePlain},
    ControlTemplate{kTotalLabel, Label, "", 56, 144, 46, 10, kStylePlain},
    ControlTemplate{kProgressBar, ProgressBar, "", 106, 143, 108, 11, kStylePlain},
    ControlTemplate{kDetailsButton, PushButton, Translatable("De&tails"), 219, 142, 50, 14, kStyleToggle},
    // The Details pane, shown only while unfolded.
    ControlTemplate{kDetailsList, List, "", 7, 160, 262, 72, kStylePlain},
    ControlTemplate{kFailuresOnlyCheck, CheckBox, Translatable("&Failures only"), 7, 238, 100, 10, kStylePlain},
    ControlTemplate{kOpenLogFolderButton, PushButton, Translatable("Open lo&g folder"), 199, 236, 70, 14, kStylePlain},
    ControlTemplate{kProcessButton, PushButton, Translatable("&Process"), 15, 164, 50, 14, kStyleDefaultButton},
    ControlTemplate{kCloseButton, PushButton, Translatable("&Close"), 210, 164, 50, 14, kStylePlain},
    ControlTemplate{kOptionsButton, PushButton, Translatable("&Options..."), 80, 164, 50, 14, kStylePlain},
    ControlTemplate{kAboutButton, PushButton, Translatable("About..."), 143, 164, 54, 14, kStylePlain},
};

constexpr std::array kOptionsControls = {
    ControlTemplate{kOkButton, PushButton, Translatable("OK"), 78, 225, 50, 14, kStyleDefaultButton},
    ControlTemplate{kCancelButton, PushButton, Translatable("Cancel"), 144, 225, 50, 14, kStylePlain},
    ControlTemplate{kXcodeCheck, CheckBox, Translatable("&Translate to KOI8 files with extenstions:"), 15, 7, 250, 10,
                    kStylePlain},
    ControlTemplate{kExtensionsEdit, Edit, "", 39, 18, 226, 14, kStylePlain},
    ControlTemplate{kNoQMarksCheck, CheckBox, Translatable("&Convert invalid chars to spaces"), 15, 37, 250, 9,
                    kStylePlain},
    ControlTemplate{kSkipSpecialDirsCheck, CheckBox, Translatable("&Skip directories that start with underscore"), 15,
                    64, 250, 8, kStylePlain},
    ControlTemplate{kUpdateOnlyCheck, CheckBox, Translatable("Copy only files &updated since last copying"), 15, 77,
                    152, 10, kStylePlain},
    ControlTemplate{kRecurseCheck, CheckBox, Translatable("R&ecurse subdirectories"), 15, 51, 142, 8, kStylePlain},
    ControlTemplate{kPassiveCheck, CheckBox, Translatable("&Passive data connections first"), 15, 91, 250, 10,
                    kStylePlain},
    ControlTemplate{kNoControlId, Label, Translatable("Co&nnections:"), 15, 107, 56, 9, kStylePlain},
    ControlTemplate{kConnectionsSpin, SpinBox, "", 74, 105, 32, 13, kStylePlain},
    ControlTemplate{kDeleteRemoteCheck, CheckBox,
                    Translatable("&Delete remote files that are not in the local directory"), 15, 124, 250, 10,
                    kStylePlain},
    ControlTemplate{kNoControlId, Label, Translatable("E&xclude:"), 15, 141, 46, 8, kStylePlain},
    ControlTemplate{kExcludeEdit, Edit, "", 64, 138, 201, 14, kStylePlain},
    ControlTemplate{kNoControlId, Label, Translatable("Trusted cert&ificates (site and fingerprint):"), 15, 157, 250, 9,
                    kStylePlain},
    ControlTemplate{kCertificatesList, List, "", 15, 168, 192, 48, kStylePlain},
    ControlTemplate{kRemoveCertificateButton, PushButton, Translatable("&Remove"), 215, 168, 50, 14, kStylePlain},
};

constexpr std::array kAboutControls = {
    ControlTemplate{kNoControlId, Icon, "", 11, 17, 21, 20, kStylePlain},
    ControlTemplate{kNoControlId, Label, Translatable("Ostrel Version 1.0 beta"), 40, 10, 119, 8,
                    kStyleLiteralAmpersand},
    ControlTemplate{kNoControlId, Label, version::kAboutNotice, 40, 25, 205, 35, kStylePlain},
    ControlTemplate{kOkButton, PushButton, Translatable("OK"), 120, 173, 32, 14, kStyleDefaultButton},
    ControlTemplate{
        kNoControlId, Label,
        Translatable("This utility serves as a convinient way to maintain a Russian virtual Web server running on "
                     "your provider's UNIX system. It copies files from a local directory tree to your Web site "
                     "file structure using the FTP protocol. "),
        41, 66, 210, 37, kStylePlain},
    ControlTemplate{kNoControlId, Label, "", 41, 142, 210, 27, kStylePlain},
    ControlTemplate{
        kNoControlId, Label,
        Translatable("To use this utility you must have Windows 95 or Windows NT and the Internet Explorer 3.0 "
                     "installed. If you does not have IE 3.0, just find WININET.DLL file (which is freely "
                     "redistributable) and copy it into Windows system folder."),
        41, 105, 210, 35, kStylePlain},
};

constexpr DialogTemplate kMainDialog{102, "Ostrel", 276, 185, 8, kMainControls};
constexpr DialogTemplate kOptionsDialog{129, Translatable("Options"), 272, 246, 8, kOptionsControls};
constexpr DialogTemplate kAboutDialog{100, Translatable("About Ostrel"), 273, 194, 8, kAboutControls};

}  // namespace

const DialogTemplate& MainDialogTemplate() { return kMainDialog; }
const DialogTemplate& OptionsDialogTemplate() { return kOptionsDialog; }
const DialogTemplate& AboutDialogTemplate() { return kAboutDialog; }

}  // namespace ostrel
