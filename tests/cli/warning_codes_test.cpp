// The one table of warning codes against the places that list them for users
// and scripts: the report's schema and the README.
#include "cli/checks/warning_codes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "tests/cli/cli_test_support.h"

namespace {

std::set<std::string> TableCodes() {
    std::set<std::string> codes;
    for (const kvochecks::WarningCodeInfo& info : kvochecks::WarningCodes()) {
        codes.insert(info.name);
    }
    return codes;
}

TEST(WarningCodes, TheTableIsInTheOrderOfTheEnumerationWithDistinctNames) {
    const auto& table = kvochecks::WarningCodes();
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(static_cast<size_t>(table[i].code), i) << table[i].name;
        EXPECT_STREQ(kvochecks::CodeName(table[i].code), table[i].name);
        EXPECT_TRUE(std::regex_match(table[i].name, std::regex("[a-z_]+"))) << table[i].name;
    }
    EXPECT_EQ(TableCodes().size(), table.size());
}

TEST(WarningCodes, TheReportSchemaListsExactlyTheTable) {
    std::ifstream in(std::string(KVOEXP_SOURCE_DIR) + "/docs/report.schema.json");
    const nlohmann::json schema = nlohmann::json::parse(in);
    std::set<std::string> listed;
    for (const auto& code : schema["$defs"]["code"]["enum"]) listed.insert(code.get<std::string>());
    EXPECT_EQ(listed, TableCodes());
}

TEST(WarningCodes, TheReadmeListsExactlyTheTable) {
    const std::string readme = clitest::ReadFile(std::string(KVOEXP_SOURCE_DIR) + "/README.md");
    const size_t start = readme.find("### Warnings");
    ASSERT_NE(start, std::string::npos);
    const size_t end = readme.find("\n#", start + 1);
    std::istringstream section(readme.substr(start, end - start));
    std::set<std::string> listed;
    const std::regex code("`([a-z_]+)`");
    for (std::string line; std::getline(section, line);) {
        if (line.rfind("| `", 0) != 0) continue;
        const std::string first = line.substr(0, line.find('|', 1));
        for (std::sregex_iterator it(first.begin(), first.end(), code), done; it != done; ++it) {
            listed.insert((*it)[1]);
        }
    }
    EXPECT_EQ(listed, TableCodes());
}

}  // namespace
