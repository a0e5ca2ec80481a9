#include "support/test_support.h"

#include <fstream>
#include <random>
#include <sstream>

#include "datafiles/tables.h"

namespace lithora::test {

TempDir::TempDir() {
    std::random_device rd;
    m_path = std::filesystem::temp_directory_path() /
             ("lithora-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(m_path);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::filesystem::path fixture(const std::string& name) {
    const std::filesystem::path path = std::filesystem::path(LITHORA_FIXTURES_DIR) / name;
    EXPECT_TRUE(std::filesystem::exists(path)) << "missing fixture " << path;
    return path;
}

SourceSet readFixtureSource(const std::string& name) {
    SourceReadResult source = readSource(fixture(name));
    for (const SourceProblem& p : source.problems)
        ADD_FAILURE() << p.text();
    return std::move(source.set);
}

DataSet packInto(const SourceSet& set, const std::filesystem::path& dir) {
    DataSet data;
    data.dir = dir;
    EXPECT_TRUE(writePackedSet(packSourceSet(set, data.recordKey), dir).ok());
    getLineNumbers(dir, data.tables, nullptr);
    getReferenceIndex(dir, data.tables, nullptr);
    return data;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace lithora::test
