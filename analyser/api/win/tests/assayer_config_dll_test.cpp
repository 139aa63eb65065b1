// The scoring configuration read through the system's private-profile reader.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <vector>

#include "assayer_host.h"
#include "quiet_image.h"
#include "scratch_dir_win.h"

namespace {

struct Row {
    int ida;
    int idb;
    int value;
};

std::string ConfigText(const std::string& count, const std::vector<Row>& rows,
                       const std::string& threshold) {
    std::ostringstream text;
    if (!count.empty()) text << "[ITEMCOUNT]\r\nnum=" << count << "\r\n";
    for (size_t i = 0; i < rows.size(); ++i) {
        text << "[ITEM" << (i + 1) << "]\r\nida=" << rows[i].ida << "\r\nidb=" << rows[i].idb
             << "\r\nvalue=" << rows[i].value << "\r\n";
    }
    if (!threshold.empty()) text << "[THRESHOLD]\r\nvalue=" << threshold << "\r\n";
    return text.str();
}

// The built-in table written out as a configuration.
std::vector<Row> DefaultRows() {
    const int weights[] = {30, 30, 60, 20, 30, -10, 60, 10, 30, 50, 30, 50, 40, 20, 50, -30, 5, 15};
    std::vector<Row> rows;
    for (int id = 6600; id <= 6617; ++id) rows.push_back({id, id, weights[id - 6600]});
    for (int a = 6600; a <= 6617; ++a) {
        for (int b = a + 1; b <= 6617; ++b) rows.push_back({a, b, 0});
    }
    return rows;
}

class AssayerConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_ = std::make_unique<AssayerHost>();
        ASSERT_TRUE(host_->ready());
    }

    // Loads `text` as the configuration and judges the subject on which 6600, 6603,
    // 6606 and 6608 fire (140 points with the built-in table).
    bool Judge(const std::string& text) {
        const std::string path = dir_.Write("score" + std::to_string(++files_) + ".ini", text);
        EXPECT_TRUE(host_->Init(path.c_str()));
        return JudgeAgain();
    }
    bool JudgeAgain() {
        host_->ReleaseInfo();
        host_->Describe(1, "C:\\windows\\1a.jpg.exe", QuietImage(), NowSeconds());
        const bool verdict = host_->Analyse(1);
        EXPECT_EQ(host_->Hits(), "ADGI");
        return verdict;
    }

    kvtest::ScratchDir dir_;
    std::unique_ptr<AssayerHost> host_;
    int files_ = 0;
};

TEST_F(AssayerConfigTest, WithoutCountTheDefaultsStay) {
    EXPECT_FALSE(Judge(ConfigText("", {}, "10")));
    EXPECT_EQ(host_->Result(), 140);
    EXPECT_FALSE(Judge(ConfigText("", {{6600, 6600, 900}}, "10")));
    EXPECT_EQ(host_->Result(), 140);
    host_->Init((dir_.path() + "\\absent.ini").c_str());
    EXPECT_FALSE(JudgeAgain());
    EXPECT_EQ(host_->Result(), 140);
}

TEST_F(AssayerConfigTest, ThresholdIsStrict) {
    EXPECT_TRUE(Judge(ConfigText("0", {}, "139")));
    EXPECT_EQ(host_->Result(), 140);
    EXPECT_FALSE(Judge(ConfigText("0", {}, "140")));
    EXPECT_TRUE(Judge(ConfigText("-2", {{6600, 6600, 1}}, "100")));
    EXPECT_EQ(host_->Result(), 140);  // a negative count keeps the table
}

TEST_F(AssayerConfigTest, OneRowReplacesTheTable) {
    EXPECT_TRUE(Judge(ConfigText("1", {{6606, 6606, 60}, {6600, 6600, 30}}, "50")));
    EXPECT_EQ(host_->Result(), 60);
}

TEST_F(AssayerConfigTest, MissingThresholdIsZero) {
    EXPECT_TRUE(Judge(ConfigText("1", {{6600, 6600, 1}}, "")));
    EXPECT_EQ(host_->Result(), 1);
    EXPECT_FALSE(Judge(ConfigText("1", {{6600, 6600, -1}}, "")));
    EXPECT_EQ(host_->Result(), -1);
}

TEST_F(AssayerConfigTest, PairRowsAddWhenBothFire) {
    const std::vector<Row> rows = {{6600, 6600, 30}, {6603, 6603, 20}, {6606, 6606, 60},
                                   {6608, 6608, 30}, {6600, 6606, 25}, {6600, 6601, 500}};
    EXPECT_TRUE(Judge(ConfigText("6", rows, "150")));
    EXPECT_EQ(host_->Result(), 165);
}

TEST_F(AssayerConfigTest, WholeTableAndCountsBeyondIt) {
    std::vector<Row> rows = DefaultRows();
    ASSERT_EQ(rows.size(), 171u);
    rows[0].value = 31;                  // 6600
    rows.push_back({6603, 6603, 1000});  // row 172 is never read
    EXPECT_FALSE(Judge(ConfigText("171", rows, "150")));
    EXPECT_EQ(host_->Result(), 141);
    EXPECT_FALSE(Judge(ConfigText("999", rows, "150")));
    EXPECT_EQ(host_->Result(), 141);
}

TEST_F(AssayerConfigTest, RowsOutliveALaterInitWithoutConfiguration) {
    EXPECT_FALSE(Judge(ConfigText("1", {{6606, 6606, 500}}, "1000")));
    EXPECT_EQ(host_->Result(), 500);
    host_->Init(nullptr);
    EXPECT_TRUE(JudgeAgain());  // threshold back to 150, rows kept
    EXPECT_EQ(host_->Result(), 500);
    host_->Init("");
    EXPECT_TRUE(JudgeAgain());
}

TEST_F(AssayerConfigTest, ValuesReadAsTheCLibraryReadsThem) {
    EXPECT_FALSE(Judge("[ITEMCOUNT]\r\nnum=none\r\n[THRESHOLD]\r\nvalue=150points\r\n"));
    EXPECT_TRUE(Judge("[ITEMCOUNT]\r\nnum= 0\r\n[THRESHOLD]\r\nvalue=  +139\r\n"));
    EXPECT_EQ(host_->Result(), 140);
}

TEST_F(AssayerConfigTest, AutoRunRowNeedsItsFeature) {
    // The autorun feature does not fire on this subject: its row adds nothing.
    EXPECT_FALSE(Judge(ConfigText("2", {{6620, 6620, 70}, {6600, 6600, 30}}, "150")));
    EXPECT_EQ(host_->Result(), 30);
}

}  // namespace
