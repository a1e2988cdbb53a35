// A scratch directory for one test, removed with everything in it when the object dies.
#pragma once

#include <string>

namespace veltra::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory's path, without a trailing separator.
  const std::string& path() const { return path_; }
  // path() + "/" + name.
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace veltra::testing
