#include <gtest/gtest.h>

#include <string>

#include "vst/value_format.h"

namespace {

std::string value(float v, int maxLen = 8) {
    char buf[32] = "untouched";
    vst::formatValue(v, buf, maxLen);
    return buf;
}

std::string decibels(float v) {
    char buf[32] = "untouched";
    vst::formatDecibels(v, buf, 8);
    return buf;
}

TEST(ValueFormat, FillsTheEightCharacterBudgetTruncatingTheFraction) {
    EXPECT_EQ(value(0.5f), "0.500000");
    EXPECT_EQ(value(1.0f), "1.000000");
    EXPECT_EQ(value(0.0f), "0.000000");
    EXPECT_EQ(value(123.456f), "123.4560");
    EXPECT_EQ(value(1234567.0f), "1234567.");
}

TEST(ValueFormat, NegativeValuesSpendOneCharacterOnTheSign) {
    EXPECT_EQ(value(-0.25f), "-0.25000");
    EXPECT_EQ(value(-6.0205999f), "-6.02059");
}

TEST(ValueFormat, HugeMagnitudesAndCutting) {
    EXPECT_EQ(value(1.0e9f), "Huge!");
    EXPECT_EQ(value(-1.0e8f), "Huge!");
    EXPECT_EQ(value(0.5f, 4), "0.50");
    EXPECT_EQ(value(1.0e9f, 3), "Hug");
}

TEST(ValueFormat, DecibelsOfLinearGains) {
    EXPECT_EQ(decibels(0.5f), "-6.02059");
    EXPECT_EQ(decibels(1.0f), "0.000000");
    EXPECT_EQ(decibels(0.0f), "-oo");
    EXPECT_EQ(decibels(-1.0f), "-oo");
    EXPECT_EQ(decibels(0.1f), "-20.0000");
}

TEST(CopyText, AlwaysTerminatesWithinTheLimit) {
    char buf[8] = "xxxxxxx";
    vst::copyText(buf, "abcdefghij", 5);
    EXPECT_STREQ(buf, "abcde");
    vst::copyText(buf, nullptr, 5);
    EXPECT_STREQ(buf, "");
}

TEST(CopyText, NeverSplitsAUtf8Character) {
    char buf[8] = {};
    vst::copyText(buf, "ab\u00e9\u00e9", 5);  // a, b, then two bytes each: the second would be split
    EXPECT_STREQ(buf, "ab\u00e9");
    vst::copyText(buf, "a\u20ac\u20ac", 6);  // three-byte characters
    EXPECT_STREQ(buf, "a\u20ac");
    vst::copyText(buf, "\U0001F3B8x", 4);  // a four-byte character exactly fits
    EXPECT_STREQ(buf, "\U0001F3B8");
    vst::copyText(buf, "abc\U0001F3B8", 6);
    EXPECT_STREQ(buf, "abc");
    vst::copyText(buf, "abcdef\xff\xfe", 7);  // not UTF-8: cut by bytes, as before
    EXPECT_STREQ(buf, "abcdef\xff");
}

}  // namespace
