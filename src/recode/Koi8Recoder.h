#pragma once

#include <string>

namespace ostrel {

// One recoding of one local file from Windows-1251 into KOI8-R, written to a
// temporary file that is uploaded in the local file's place. The local file
// is never changed.
//
// Making the recoder creates the temporary file, empty, in the system's
// temporary directory (std::filesystem::temp_directory_path, i.e. TMPDIR or
// /tmp) under a unique name starting with "~k8". The caller owns that file
// from then on: neither the destructor nor a failed RecodeFile deletes it, so
// the caller removes TempName() on every path once the upload is over,
// whether RecodeFile succeeded or threw.
class Koi8Recoder {
 public:
  // Never throws for the temporary file: when it cannot be created, TempName()
  // is empty and RecodeFile raises the FileError when it comes to writing.
  explicit Koi8Recoder(std::string sourceName);

  // Reads the whole source file, removes its HTML charset declarations,
  // translates it into KOI8-R and writes it to the temporary file, which gets
  // the source's last-write and last-access times (to the second) and owner
  // read/write permission. Then sets `uploadPath` to TempName(). With
  // `noQuestionMarks` untranslatable bytes become spaces instead of "?".
  // Throws FileError when a file cannot be opened, read, written, closed or
  // stamped, and std::bad_alloc when the text does not fit in memory; either
  // way `uploadPath` keeps its value.
  void RecodeFile(std::string& uploadPath, bool noQuestionMarks);

  const std::string& SourceName() const noexcept { return sourceName_; }
  const std::string& TempName() const noexcept { return tempName_; }

 private:
  std::string sourceName_;
  std::string tempName_;
  // When the temporary file could not be made: the name that was tried and
  // the system's error number, for RecodeFile's report.
  std::string triedTempName_;
  int tempErrorNumber_ = 0;
};

}  // namespace ostrel
