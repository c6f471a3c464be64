#include "app/RunView.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDialog>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <algorithm>
#include <array>
#include <filesystem>
#include <limits>
#include <system_error>

#include "app/DialogBuilder.h"
#include "app/DialogUnits.h"
#include "platform/DisplayText.h"
#include "platform/Translation.h"

namespace ostrel {
namespace {

// The buttons below the pane, which unfolding it moves down.
constexpr std::array kButtonsBelowPane = {kProcessButton, kCloseButton, kOptionsButton, kAboutButton};
constexpr std::array kPaneControls = {kDetailsList, kFailuresOnlyCheck, kOpenLogFolderButton};
constexpr int kFailureRole = Qt::UserRole;

void OpenLogFolder() {
  const std::filesystem::path folder = RunLogDirectory();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder.string())));
}

int ToInt(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, 0, std::numeric_limits<int>::max()));
}

}  // namespace

RunView::RunView(QDialog& dialog)
    : dialog_(dialog),
      progressBar_(FindControl<QProgressBar>(dialog, kProgressBar)),
      details_(FindControl<QListWidget>(dialog, kDetailsList)) {
  progressBar_->hide();
  for (const int id : kPaneControls) FindControl<QWidget>(dialog, id)->hide();
  QObject::connect(FindControl<QPushButton>(dialog, kDetailsButton), &QPushButton::toggled, &dialog,
                   [this](bool unfolded) { Unfold(unfolded); });
  QObject::connect(FindControl<QCheckBox>(dialog, kFailuresOnlyCheck), &QCheckBox::toggled, &dialog,
                   [this](bool failuresOnly) { ShowFailuresOnly(failuresOnly); });
  QObject::connect(FindControl<QPushButton>(dialog, kOpenLogFolderButton), &QPushButton::clicked, &dialog,
                   [] { OpenLogFolder(); });
}

void RunView::Start(std::int64_t filesToConsider) {
  details_->clear();
  // A run of no files would make the bar a busy indicator: 0 of 0 is done.
  progressBar_->setRange(0, std::max(ToInt(filesToConsider), 1));
  files_ = filesToConsider;
  rateSince_ = std::chrono::steady_clock::now();
  rateBytes_ = 0;
  rate_ = 0;
  ShowProgress(0, 0);
  progressBar_->show();
}

void RunView::ShowProgress(std::int64_t filesSettled, std::int64_t bytesSent) {
  const auto now = std::chrono::steady_clock::now();
  if (const std::chrono::duration<double> since = now - rateSince_; since >= std::chrono::seconds(1)) {
    rate_ = static_cast<double>(bytesSent - rateBytes_) / since.count();
    rateSince_ = now;
    rateBytes_ = bytesSent;
  }
  progressBar_->setValue(std::min(ToInt(filesSettled), progressBar_->maximum()));
  const std::string text =
      FormatText(TranslatePlural("%s of %s files, %s/s", "%s of %s files, %s/s", static_cast<unsigned long>(files_)),
                 {std::to_string(filesSettled), std::to_string(files_), FormatBytes(std::max(rate_, 0.0))});
  // The bar takes "%" in its format for a placeholder.
  progressBar_->setFormat(QString::fromStdString(text).replace('%', QStringLiteral("%%")));
}

void RunView::Finish() { progressBar_->hide(); }

void RunView::Add(const RunLogEntry& entry) {
  for (const std::string& line : FormatRunLogEntry(entry, LogTime::Clock)) {
    auto* item = new QListWidgetItem(QString::fromStdString(line), details_);
    item->setData(kFailureRole, entry.IsFailure());
    item->setHidden(failuresOnly_ && !entry.IsFailure());
  }
  details_->scrollToBottom();
}

void RunView::Unfold(bool unfolded) {
  if (unfolded_ == unfolded) return;
  unfolded_ = unfolded;
  const int shift = DialogUnits(dialog_.font()).VerticalPixels(kDetailsPaneHeight) * (unfolded ? 1 : -1);
  for (const int id : kPaneControls) FindControl<QWidget>(dialog_, id)->setVisible(unfolded);
  for (const int id : kButtonsBelowPane) {
    QWidget* button = FindControl<QWidget>(dialog_, id);
    button->move(button->x(), button->y() + shift);
  }
  dialog_.setFixedSize(dialog_.width(), dialog_.height() + shift);
}

void RunView::ShowFailuresOnly(bool failuresOnly) {
  failuresOnly_ = failuresOnly;
  for (int row = 0; row < details_->count(); ++row)
    details_->item(row)->setHidden(failuresOnly && !details_->item(row)->data(kFailureRole).toBool());
}

}  // namespace ostrel
