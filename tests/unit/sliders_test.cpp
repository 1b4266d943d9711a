#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "runtime/datapath.h"
#include "runtime/layers.h"

namespace {

struct Sliders : CQuillDescription {
    int sliderRuns = 0;
    void DoSlider() override { ++sliderRuns; }
};

} // namespace

TEST(AddSlider, StoresTheDefaultAndAppendsAPreparedRecord) {
    Sliders s;
    EXPECT_EQ(s.AddSlider(3, nullptr, -2.5, -10, 10, 0.1, "", "x", "dB", "gain"), 0);
    EXPECT_EQ(s.AddSlider(4, nullptr, 1, 0, 1, 1, "", "", "", "switch"), 1);
    EXPECT_EQ(s.sliderValues[3], -2.5);
    const SliderDefinition& d = s.sliders[0];
    EXPECT_TRUE(d.prepared);
    EXPECT_EQ(d.slot, 3);
    EXPECT_EQ(d.label, "dB");
    EXPECT_EQ(d.extraText, "x");
    EXPECT_TRUE(d.enumNames.empty());
    EXPECT_EQ(s.sliderRuns, 0);
}

TEST(AddSlider, SlotNumbersOutsideTheArrayWrap) {
    Sliders s;
    s.AddSlider(129, nullptr, 4, 0, 10, 1, "", "", "", "wrapped");
    EXPECT_EQ(s.sliders[0].slot, 1);
    EXPECT_EQ(s.sliderValues[1], 4);
    EXPECT_EQ(&s.SliderAt(129), &s.sliderValues[1]);
    EXPECT_EQ(&s.SliderAt(128), &s.sliderValues[0]);
    EXPECT_EQ(&s.SliderAt(-1), &s.sliderValues[127]);
}

TEST(SetSliderFromHost, QuantisesOnTheGridFromZero) {
    Sliders s;
    s.AddSlider(1, nullptr, 0, -10, 10, 0.1, "", "", "", "level");
    s.SetSliderFromHost(0, 0.75);
    EXPECT_EQ(s.sliderValues[1], 50 * 0.1);
    EXPECT_EQ(s.sliderRuns, 1);
    s.SetSliderFromHost(0, 0.7);
    EXPECT_EQ(s.sliderValues[1], 40 * 0.1); // 40.5 lies just under in doubles
    s.SetSliderFromHost(0, 0.5);
    EXPECT_EQ(s.sliderValues[1], 0.0);
    EXPECT_EQ(s.sliderRuns, 3);
    s.SetSliderFromHost(0, 0.5); // quantised result equals the value
    EXPECT_EQ(s.sliderRuns, 3);
}

TEST(SetSliderFromHost, ChangesInsideTheBandAreIgnored) {
    Sliders s;
    double linked = -1;
    s.AddSlider(2, &linked, 0.30, 0, 1, 0.01, "", "", "", "mix");
    s.SetSliderFromHost(0, 0.300004);
    EXPECT_EQ(s.sliderRuns, 0);
    EXPECT_EQ(linked, -1);
    // Unquantised slider: a difference of exactly the band stores and runs.
    s.AddSlider(3, nullptr, 0, 0, 1, 0, "", "", "", "free");
    s.SetSliderFromHost(1, 0.000009);
    EXPECT_EQ(s.sliderRuns, 0);
    s.SetSliderFromHost(1, 0.00001);
    EXPECT_EQ(s.sliderRuns, 1);
    EXPECT_EQ(s.sliderValues[3], 0.00001);
    s.SetSliderFromHost(0, 1.0);
    EXPECT_EQ(linked, 1.0);
    EXPECT_EQ(s.sliderValues[2], 1.0);
}

TEST(SetSliderFromHost, ZeroStepUnknownIndexAndNonFiniteValues) {
    Sliders s;
    s.AddSlider(1, nullptr, 0, -10, 10, 0, "", "", "", "no step");
    s.SetSliderFromHost(0, 0.75);
    EXPECT_EQ(s.sliderValues[1], 5.0);
    s.SetSliderFromHost(0, NAN);
    s.SetSliderFromHost(0, INFINITY);
    s.SetSliderFromHost(1, 0.1);
    s.SetSliderFromHost(-1, 0.1);
    EXPECT_EQ(s.sliderValues[1], 5.0);
    EXPECT_EQ(s.sliderRuns, 1);
    s.SetSliderFromHost(0, 2.0); // not clamped
    EXPECT_EQ(s.sliderValues[1], 30.0);
}

TEST(NormaliseSliderValue, NotClampedAndDefinedForAnEmptyRange) {
    Sliders s;
    s.AddSlider(1, nullptr, 0, -10, 10, 0.1, "", "", "", "level");
    s.AddSlider(2, nullptr, 3, 3, 3, 1, "", "", "", "flat");
    EXPECT_EQ(s.NormaliseSliderValue(0), 0.5);
    s.sliderValues[1] = 30;
    EXPECT_EQ(s.NormaliseSliderValue(0), 2.0);
    EXPECT_EQ(s.NormaliseSliderValue(1), 0.0);
    EXPECT_EQ(s.NormaliseSliderValue(2), 0.0);
}

TEST(SliderDisplayText, TwoDecimalsOrTheEnumerationName) {
    Sliders s;
    s.AddSlider(1, nullptr, -10, -10, 10, 0.1, "", "", "", "level");
    s.AddSlider(2, nullptr, 0, 0, 1, 1, "", "", "", "switch");
    s.sliders[1].enumNames = {"on", "off"};
    EXPECT_EQ(s.SliderDisplayText(0), "-10.00");
    s.sliderValues[1] = -3.5;
    EXPECT_EQ(s.SliderDisplayText(0), "-3.50");
    s.sliderValues[1] = 0.5;
    EXPECT_EQ(s.SliderDisplayText(0), "0.50");
    const std::pair<double, const char*> cases[] = {{0, "on"},  {1, "off"},  {0.99, "on"},      {-3, "on"},
                                                    {7, "off"}, {NAN, "on"}, {INFINITY, "off"}, {-1e300, "on"}};
    for (auto [value, name] : cases) {
        s.sliderValues[2] = value;
        EXPECT_EQ(s.SliderDisplayText(1), name) << value;
    }
    EXPECT_EQ(s.SliderDisplayText(5), "");
}

namespace {

// A folder beside the test executable, removed afterwards.
class FolderSlider : public ::testing::Test {
protected:
    void SetUp() override {
        name = std::string("slider_folder_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        root = quill::DataPath(name);
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
    }
    void TearDown() override { std::filesystem::remove_all(root); }
    void Touch(const std::string& file) { std::ofstream(root / file) << "x"; }
    std::string name;
    std::filesystem::path root;
};

} // namespace

TEST_F(FolderSlider, EmptyFolderHasTheNoDataName) {
    Sliders s;
    s.AddSlider(7, nullptr, 5, -1, 9, 0.1, "/" + name + "/", "", "", "files");
    const SliderDefinition& d = s.sliders[0];
    EXPECT_EQ(d.enumNames, std::vector<std::string>{"(No Data Files)"});
    EXPECT_EQ(d.maximum, 0.0);
    EXPECT_EQ(d.minimum, 0.0);
    EXPECT_EQ(d.defaultValue, 0.0);
    EXPECT_EQ(d.step, 0.5);
    EXPECT_EQ(s.sliderValues[7], 5.0); // the value keeps the stored default
    EXPECT_EQ(s.NormaliseSliderValue(0), 0.0);
}

TEST_F(FolderSlider, ListsPlainFilesOnlyAndQuantisesInHalfSteps) {
    Touch("alpha.wav");
    Touch("beta.wav");
    Touch("gamma.wav");
    Touch(".hidden");
    std::filesystem::create_directories(root / "sub");
    Touch("sub/inner.wav");
    Sliders s;
    s.AddSlider(7, nullptr, 0, 0, 1, 1, name + "/", "", "", "files");
    std::vector<std::string> names = s.sliders[0].enumNames;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"alpha.wav", "beta.wav", "gamma.wav"}));
    EXPECT_EQ(s.sliders[0].maximum, 2.0);
    s.SetSliderFromHost(0, 0.3);
    EXPECT_EQ(s.sliderValues[7], 0.5);
    EXPECT_EQ(s.SliderDisplayText(0), s.sliders[0].enumNames[0]);
}

TEST_F(FolderSlider, FolderTextWithoutTrailingSeparatorListsNothing) {
    Touch("alpha.wav");
    Sliders s;
    s.AddSlider(7, nullptr, 0, 0, 1, 1, name, "", "", "files");
    EXPECT_EQ(s.sliders[0].enumNames, std::vector<std::string>{"(No Data Files)"});
}

TEST_F(FolderSlider, MissingFolderListsNothing) {
    Sliders s;
    s.AddSlider(7, nullptr, 0, 0, 1, 1, name + "/missing/", "", "", "files");
    EXPECT_EQ(s.sliders[0].enumNames, std::vector<std::string>{"(No Data Files)"});
}
