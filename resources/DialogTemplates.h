#pragma once

#include <span>
#include <string_view>

namespace ostrel {

// A dialog as data: the window and its controls in the order that is also the
// tab order. Positions and sizes are in dialog units, which scale with the
// dialog font (a quarter of the average character width horizontally, an
// eighth of the character height vertically), so the layout keeps its
// proportions with whatever font the desktop supplies.

inline constexpr int kNoControlId = -1;

enum class ControlKind { Label, Edit, PushButton, CheckBox, Icon, ComboBox, SpinBox, List, ProgressBar };

enum ControlStyle : unsigned {
  kStylePlain = 0,
  // Pressed by Enter wherever the focus is.
  kStyleDefaultButton = 1u << 0,
  // Typed characters are shown masked.
  kStylePassword = 1u << 1,
  // An ampersand is shown as itself instead of marking a mnemonic.
  kStyleLiteralAmpersand = 1u << 2,
  // A push button that stays pressed until pressed again.
  kStyleToggle = 1u << 3,
};

struct ControlTemplate {
  int id;
  ControlKind kind;
  std::string_view text;
  int x;
  int y;
  int width;
  int height;
  unsigned style;
};

struct DialogTemplate {
  int id;
  std::string_view caption;
  int width;
  int height;
  int fontPointSize;
  std::span<const ControlTemplate> controls;
};

// Control ids of the main dialog.
enum MainDialogControl : int {
  kProcessButton = 1,
  kCloseButton = 2,
  kLocalDirEdit = 1000,
  kHostEdit = 1001,
  kNameEdit = 1004,
  kPasswordEdit = 1005,
  kRemoteDirEdit = 1006,
  kStatusLabel = 1007,
  kTotalLabel = 1012,
  kOptionsButton = 1015,
  kAboutButton = 1016,
  kSiteCombo = 1017,
  kSitesButton = 1018,
  kProgressBar = 1019,
  kDetailsButton = 1020,
  kDetailsList = 1021,
  kFailuresOnlyCheck = 1022,
  kOpenLogFolderButton = 1023,
};

// The Details pane of the main dialog lies where the buttons are while it is
// folded; unfolded, it pushes them and the dialog's bottom down by this much.
inline constexpr int kDetailsPaneHeight = 94;

// Control ids of the options dialog; OK and Cancel are 1 and 2.
enum OptionsDialogControl : int {
  kOkButton = 1,
  kCancelButton = 2,
  kSkipSpecialDirsCheck = 1002,
  kExtensionsEdit = 1008,
  kXcodeCheck = 1009,
  kNoQMarksCheck = 1010,
  kUpdateOnlyCheck = 1011,
  kRecurseCheck = 1013,
  kPassiveCheck = 1014,
  kConnectionsSpin = 1015,
  kCertificatesList = 1016,
  kRemoveCertificateButton = 1017,
  kDeleteRemoteCheck = 1018,
  kExcludeEdit = 1019,
};

// Results of a modal dialog, as its buttons 1 and 2 report them.
inline constexpr int kDialogResultOk = 1;
inline constexpr int kDialogResultCancel = 2;

const DialogTemplate& MainDialogTemplate();     // 102
const DialogTemplate& OptionsDialogTemplate();  // 129
const DialogTemplate& AboutDialogTemplate();    // 100

}  // namespace ostrel
