#include "resources/DialogTemplates.h"

#include <array>

#include "platform/Translation.h"
#include "resources/VersionInfo.h"

namespace ostrel {
namespace {

using enum ControlKind;

constexpr std::array kMainControls = {
    ControlTemplate{kNoControlId, Label, Translatable("&Local directory:"), 7, 12, 68, 11, kStylePlain},
    ControlTemplate{kLocalDirEdit, Edit, "", 78, 9, 191, 14, kStylePlain},
    ControlTemplate{kNoControlId, Label, Translatable("&Remote FTP site:"), 7, 32, 68, 11, kStylePlain},
    ControlTemplate{kHostEdit, Edit, "", 78, 29, 111, 14, kStylePlain},
    ControlTemplate{kNoControlId, Label, Translatable("&User:"), 7, 50, 68, 10, kStylePlain},
    ControlTemplate{kNameEdit, Edit, "", 78, 47, 111, 14, kStylePlain},
    ControlTemplate{kNoControlId, Label, Translatable("&Password:"), 7, 67, 68, 10, kStylePlain},
    ControlTemplate{kPasswordEdit, Edit, "", 78, 65, 111, 14, kStylePassword},
    ControlTemplate{kNoControlId, Label, Translatable("Remote &directory:"), 7, 86, 68, 8, kStylePlain},
    ControlTemplate{kRemoteDirEdit, Edit, "", 78, 83, 191, 14, kStylePlain},
    ControlTemplate{kStatusLabel, Label, "", 7, 105, 261, 9, kStylePlain},
    ControlTemplate{kNoControlId, Label, Translatable("Total copied:"), 7, 124, 48, 9, kStylePlain},
    ControlTemplate{kTotalLabel, Label, "", 56, 124, 46, 10, kStylePlain},
    ControlTemplate{kProcessButton, PushButton, Translatable("&Process"), 15, 144, 50, 14, kStyleDefaultButton},
    ControlTemplate{kCloseButton, PushButton, Translatable("&Close"), 210, 144, 50, 14, kStylePlain},
    ControlTemplate{kOptionsButton, PushButton, Translatable("&Options..."), 80, 144, 50, 14, kStylePlain},
    ControlTemplate{kAboutButton, PushButton, Translatable("About..."), 143, 144, 54, 14, kStylePlain},
};

constexpr std::array kOptionsControls = {
    ControlTemplate{kOkButton, PushButton, Translatable("OK"), 78, 127, 50, 14, kStyleDefaultButton},
    ControlTemplate{kCancelButton, PushButton, Translatable("Cancel"), 144, 127, 50, 14, kStylePlain},
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
    ControlTemplate{kDeleteRemoteCheck, CheckBox,
                    Translatable("&Delete remote files that are not in the local directory"), 15, 90, 250, 10,
                    kStylePlain},
    ControlTemplate{kNoControlId, Label, Translatable("E&xclude:"), 15, 108, 46, 8, kStylePlain},
    ControlTemplate{kExcludeEdit, Edit, "", 64, 105, 201, 14, kStylePlain},
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

constexpr DialogTemplate kMainDialog{102, "Ostrel", 276, 165, 8, kMainControls};
constexpr DialogTemplate kOptionsDialog{129, Translatable("Options"), 272, 148, 8, kOptionsControls};
constexpr DialogTemplate kAboutDialog{100, Translatable("About Ostrel"), 273, 194, 8, kAboutControls};

}  // namespace

const DialogTemplate& MainDialogTemplate() { return kMainDialog; }
const DialogTemplate& OptionsDialogTemplate() { return kOptionsDialog; }
const DialogTemplate& AboutDialogTemplate() { return kAboutDialog; }

}  // namespace ostrel
