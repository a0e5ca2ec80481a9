#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "datafiles/dataset.h"
#include "source/packer.h"
#include "source/source_format.h"

namespace lithora::test {

// A fresh directory under the system's temporary directory, removed with the object.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};

// A fixture directory of the repository; a missing fixture fails the test that asks for it.
std::filesystem::path fixture(const std::string& name);

// Reads a fixture source directory, which must be sound.
SourceSet readFixtureSource(const std::string& name);

// Packs a source set into dir and returns it as a DataSet with its tables loaded.
DataSet packInto(const SourceSet& set, const std::filesystem::path& dir);

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

} // namespace lithora::test
