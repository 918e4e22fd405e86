// Tests of the session's option table and text slots.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "foundation/KmException.h"
#include "session/kmClusterOptions.h"
#include "session/kmComparisonType.h"
#include "session/kmDelayType.h"
#include "session/kmDelimiter.h"
#include "session/kmDependentType.h"
#include "session/kmFitMethod.h"
#include "session/kmIntervalMethod.h"
#include "session/kmJumpCRMode.h"
#include "session/kmSession.h"
#include "tests/test_util/CatchKmException.h"

namespace {

enum Type { kInt, kBool, kDouble };

struct DefaultCase {
  int iId;
  Type eType;
  double dDefault;
};

// Every option with its type and its value after Init, as the option table
// documents them; 42 is left out because it is no option.
const DefaultCase kDefaults[] = {
    {0, kInt, 0},        {1, kInt, 0},        {2, kInt, 2},
    {3, kInt, 0},        {4, kInt, 4},        {5, kInt, 2},
    {6, kInt, 2},        {7, kInt, 0},        {8, kInt, 0},
    {9, kBool, 1},       {10, kInt, 0},       {11, kDouble, 0.0},
    {12, kDouble, 0.05}, {13, kInt, 4499},    {14, kInt, 7160},
    {15, kInt, 2},       {16, kBool, 0},      {17, kInt, 0},
    {18, kInt, 0},       {19, kDouble, 0.0},  {20, kInt, 0},
    {21, kInt, 0},       {22, kDouble, 0.05}, {23, kDouble, 0.05},
    {24, kDouble, 0.05}, {25, kBool, 0},      {26, kInt, 4},
    {27, kInt, 0},       {28, kDouble, -1.0}, {29, kDouble, -1.0},
    {30, kDouble, -1.0}, {31, kDouble, 0.0},  {32, kInt, 0},
    {33, kInt, 0},       {34, kInt, 0},       {35, kInt, 0},
    {36, kInt, 0},       {37, kInt, 10000},   {38, kInt, -1},
    {39, kBool, 0},      {40, kInt, 10},      {41, kInt, 0},
    {43, kInt, 0},       {44, kInt, 0},       {45, kInt, 0},
    {46, kBool, 0},      {47, kDouble, 0.05}, {48, kDouble, 0.05},
    {49, kInt, 4499},    {50, kInt, 2},       {51, kInt, 10000},
    {52, kInt, 0},       {53, kBool, 0},      {54, kBool, 0},
    {55, kBool, 0},      {56, kInt, 0},       {57, kInt, 0},
    {58, kBool, 0},      {59, kBool, 0},      {60, kDouble, 0.0},
    {61, kBool, 0},      {62, kInt, 0},       {63, kInt, 0},
};

TEST(kmSessionOptions, InitGivesEveryDocumentedDefault) {
  kmSession session;
  ASSERT_EQ(sizeof(kDefaults) / sizeof(kDefaults[0]), 63u);
  for (const DefaultCase& c : kDefaults) {
    SCOPED_TRACE("option " + std::to_string(c.iId));
    switch (c.eType) {
      case kInt:
        EXPECT_EQ(session.GetInt(c.iId), static_cast<int>(c.dDefault));
        EXPECT_EQ(kmSession::GetOptionType(c.iId), kmOptTypeInt);
        break;
      case kBool:
        EXPECT_EQ(session.GetBool(c.iId), c.dDefault != 0.0);
        EXPECT_EQ(kmSession::GetOptionType(c.iId), kmOptTypeBool);
        break;
      case kDouble:
        EXPECT_EQ(session.GetDouble(c.iId), c.dDefault);
        EXPECT_EQ(kmSession::GetOptionType(c.iId), kmOptTypeDouble);
        break;
    }
  }
}

TEST(kmSessionOptions, NamedIdentifiersReachTheirDefaults) {
  kmSession session;
  EXPECT_EQ(session.GetDouble(kmOptKinkmarkAlpha), 0.05);
  EXPECT_EQ(session.GetDouble(kmOptPermSignificance), 0.05);
  EXPECT_EQ(session.GetInt(kmOptMaxKinkmarks), 4);
  EXPECT_EQ(session.GetInt(kmOptNumPermutations), 4499);
  EXPECT_EQ(session.GetInt(kmOptDelayStatKind), -1);
  EXPECT_TRUE(session.GetBool(kmOptLogLinear));
  EXPECT_EQ(session.GetDouble(kmOptJumpLocation), -1.0);
  EXPECT_EQ(session.GetNumCores(), 9999);
}

// The words of the coded options: each names its stored code, and a word
// no code has (or the empty word of an unused code) is refused.
TEST(kmSessionOptions, CodedOptionsReadAndWriteTheirWords) {
  kmErrorModel model = kmErrorModel::kConstantVariance;
  EXPECT_TRUE(kmCodeFromText(KmString("poisson rate"), model));
  EXPECT_EQ(model, kmErrorModel::kPoissonRate);
  EXPECT_FALSE(kmCodeFromText(KmString(""), model));
  EXPECT_FALSE(kmCodeFromText(KmString("poisson"), model));
  EXPECT_EQ(model, kmErrorModel::kPoissonRate);
  EXPECT_EQ(kmCodeText(kmErrorModel::kVarCovMatrix),
            "variance-covariance matrix from a file");
  EXPECT_EQ(kmCodeText(static_cast<kmErrorModel>(3)), "");
  EXPECT_EQ(kmCodeText(kmAutocorrErrors::kVarCovMatrix), "");
  EXPECT_EQ(kmCodeText(kmEmpQuantileMethod::kByObservations),
            "by observations");
  kmFitMethod method = kmFitMethod::kGridSearch;
  EXPECT_TRUE(kmCodeFromText(KmString("hudsons"), method));
  EXPECT_EQ(method, kmFitMethod::kHudsons);
  // The session stores the enumerator's value as the option's code.
  kmSession session;
  session.Set(kmEarlyStopping::kCurtailed);
  EXPECT_EQ(session.GetInt(kmOptEarlyStopping), 1);
  EXPECT_EQ(session.Get<kmErrorModel>(), kmErrorModel::kStandardError);
}

TEST(kmSessionOptions, InitGivesTheTextSlots) {
  kmSession session;
  KmString sOut;
  EXPECT_STREQ(session.GetString(kmStrRateUnit, sOut), "Annual");
  EXPECT_EQ(sOut, "Annual");
  for (int iId = 0; iId < 7; ++iId) {
    SCOPED_TRACE("slot " + std::to_string(iId));
    EXPECT_STREQ(session.GetString(iId, sOut), "");
  }
}

// Every accessor refuses every identifier whose type is not its own, with
// its own message, and a refused set changes nothing.
TEST(kmSessionOptions, TypeMismatchRaisesTheAccessorsMessage) {
  kmSession session;
  const int kIds[] = {-1, 0, 9, 12, 42, 63, 64, 1000};
  for (int iId : kIds) {
    SCOPED_TRACE("identifier " + std::to_string(iId));
    const int iType = kmSession::GetOptionType(iId);
    auto expectRefused = [&](auto fn, int iOwnType, const char* sMessage) {
      if (iType == iOwnType) return;
      KmException e = km_test::CatchKmException(fn);
      EXPECT_STREQ(e.GetMessage(), sMessage);
      EXPECT_STREQ(e.GetSource(), "kmSession");
      EXPECT_EQ(e.GetKind(), 0);
    };
    expectRefused([&] { session.GetInt(iId); }, kmOptTypeInt,
                  "Invalid request for integer.");
    expectRefused([&] { session.GetBool(iId); }, kmOptTypeBool,
                  "Invalid request for boolean.");
    expectRefused([&] { session.GetDouble(iId); }, kmOptTypeDouble,
                  "Invalid request for double.");
    expectRefused([&] { session.SetInt(iId, 1); }, kmOptTypeInt,
                  "Invalid request to set int.");
    expectRefused([&] { session.SetBool(iId, true); }, kmOptTypeBool,
                  "Invalid request to set boolean.");
    expectRefused([&] { session.SetDouble(iId, 0.5); }, kmOptTypeDouble,
                  "Invalid request to set double.");
  }
  // The refused sets left the defaults in place.
  EXPECT_EQ(session.GetInt(0), 0);
  EXPECT_TRUE(session.GetBool(9));
  EXPECT_EQ(session.GetDouble(12), 0.05);
  EXPECT_EQ(session.GetInt(63), 0);
}

TEST(kmSessionOptions, IdentifierFortyTwoIsInvalidForEveryAccessor) {
  kmSession session;
  EXPECT_EQ(kmSession::GetOptionType(42), kmOptTypeInvalid);
  EXPECT_THROW(session.GetInt(42), KmException);
  EXPECT_THROW(session.GetBool(42), KmException);
  EXPECT_THROW(session.GetDouble(42), KmException);
  EXPECT_THROW(session.SetInt(42, 0), KmException);
  EXPECT_THROW(session.SetBool(42, false), KmException);
  EXPECT_THROW(session.SetDouble(42, 0.0), KmException);
}

TEST(kmSessionOptions, GetIntOnADoubleOptionNamesTheRequest) {
  kmSession session;
  KmException e =
      km_test::CatchKmException([&] { session.GetInt(kmOptKinkmarkAlpha); });
  EXPECT_STREQ(e.GetMessage(), "Invalid request for integer.");
  EXPECT_STREQ(e.GetCallPath(), "GetInt of kmSession");
}

TEST(kmSessionOptions, SettersStoreWhatGettersGive) {
  kmSession session;
  session.SetInt(kmOptMaxKinkmarks, 7);
  session.SetInt(kmOptDelayStatKind, -3);
  session.SetBool(kmOptLogLinear, false);
  session.SetBool(kmOptMADWD, true);
  session.SetDouble(kmOptDataShift, -2.25);
  session.SetHeterOptions(kmErrorModel::kVarCovMatrix);
  session.SetNumCores(3);
  EXPECT_EQ(session.GetInt(kmOptMaxKinkmarks), 7);
  EXPECT_EQ(session.GetInt(kmOptDelayStatKind), -3);
  EXPECT_FALSE(session.GetBool(kmOptLogLinear));
  EXPECT_TRUE(session.GetBool(kmOptMADWD));
  EXPECT_EQ(session.GetDouble(kmOptDataShift), -2.25);
  EXPECT_EQ(session.GetInt(kmOptHetErrorModel), 5);
  EXPECT_EQ(session.GetNumCores(), 3);
  // A NaN stored in a double option stays a NaN.
  session.SetDouble(kmOptMADWDPsi, std::nan(""));
  EXPECT_TRUE(std::isnan(session.GetDouble(kmOptMADWDPsi)));

  // Clear (as Init) brings every default back.
  session.SetString(kmStrRateUnit, "Monthly");
  session.Clear();
  KmString sOut;
  EXPECT_EQ(session.GetInt(kmOptMaxKinkmarks), 4);
  EXPECT_TRUE(session.GetBool(kmOptLogLinear));
  EXPECT_EQ(session.GetDouble(kmOptDataShift), 0.0);
  EXPECT_EQ(session.GetNumCores(), 9999);
  EXPECT_STREQ(session.GetString(kmStrRateUnit, sOut), "Annual");
}

TEST(kmSessionOptions, TextSlotsOutsideZeroToSevenAreRefused) {
  kmSession session;
  KmString sOut;
  KmException e =
      km_test::CatchKmException([&] { session.GetString(8, sOut); });
  EXPECT_STREQ(e.GetMessage(), "Requesting invalid string value 8");
  EXPECT_STREQ(e.GetSource(), "kmSession");
  e = km_test::CatchKmException([&] { session.GetString(-1, sOut); });
  EXPECT_STREQ(e.GetMessage(), "Requesting invalid string value -1");

  e = km_test::CatchKmException([&] { session.SetString(8, "x"); });
  EXPECT_STREQ(e.GetMessage(), "String variable 8 does not exist");
  EXPECT_STREQ(e.GetCallPath(), "SetString of kmSession");
  // A negative slot fails in the vector's index check.
  e = km_test::CatchKmException([&] { session.SetString(-1, "x"); });
  EXPECT_STREQ(e.GetSource(), "KmVector");

  session.SetString(kmStrVarCovarFile, "cov.csv");
  session.SetString(kmStrDataFile, nullptr);
  EXPECT_STREQ(session.GetString(kmStrVarCovarFile, sOut), "cov.csv");
  EXPECT_STREQ(session.GetString(kmStrDataFile, sOut), "");
}

TEST(kmSessionOptions, VersionTextsReadAsNumbers) {
  struct Case {
    const char* sVersion;
    double dExpected;
  };
  const Case kCases[] = {
      {"V4.9.0.0", 4.9},
      {"4.900", 4.9},
      {"V4.8.0.2", 4.802},
      {"4", 4.0},
  };
  kmSession session;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sVersion);
    session.SetVersion(c.sVersion);
    KmString sOut;
    session.GetProgramVersion(sOut);
    EXPECT_EQ(sOut, c.sVersion);
    EXPECT_DOUBLE_EQ(session.GetProgramVersAsDouble(), c.dExpected);
  }
  EXPECT_EQ(session.GetFileVersionAsDouble(), 0.0);
  session.SetString(kmStrFileVersion, "4.900");
  EXPECT_DOUBLE_EQ(session.GetFileVersionAsDouble(), 4.9);
}

// Fault: putting the decimal point after the first character of an empty
// version text (a session whose version was never set) failed with an
// out-of-range error of the string type instead of giving a number.
TEST(kmSessionOptions, EmptyProgramVersionReadsAsZero) {
  kmSession session;
  EXPECT_EQ(session.GetProgramVersAsDouble(), 0.0);
  session.SetVersion("V..");
  EXPECT_EQ(session.GetProgramVersAsDouble(), 0.0);
}

TEST(kmSessionOptions, DelimiterCodesOfTheDataFile) {
  EXPECT_EQ(kmSession::GetDelimiterChar(0), '\t');
  EXPECT_EQ(kmSession::GetDelimiterChar(1), ' ');
  EXPECT_EQ(kmSession::GetDelimiterChar(2), ',');
  EXPECT_EQ(kmSession::GetDelimiterChar(3), ';');
  for (int iCode : {-1, 4}) {
    SCOPED_TRACE(iCode);
    KmException e =
        km_test::CatchKmException([&] { kmSession::GetDelimiterChar(iCode); });
    EXPECT_STREQ(e.GetMessage(), "Invalid call to GetDelimiterChar()");
    EXPECT_STREQ(e.GetSource(), "kmSession.cpp");
  }
}

// A coded option's texts: each of the codes 0 to nCodes - 1 has a text of
// its own, and nCodes has none (or sBeyond).
template <typename Code>
void ExpectTexts(const char* (*toText)(Code), int nCodes,
                 const char* sBeyond = nullptr) {
  for (int i = 0; i < nCodes; ++i) {
    SCOPED_TRACE(i);
    const char* sText = toText(static_cast<Code>(i));
    ASSERT_NE(sText, nullptr);
    for (int j = 0; j < i; ++j) {
      EXPECT_STRNE(toText(static_cast<Code>(j)), sText);
    }
  }
  const char* sText = toText(static_cast<Code>(nCodes));
  EXPECT_STREQ(sText != nullptr ? sText : "(none)",
               sBeyond != nullptr ? sBeyond : "(none)");
}

// The same for a coded option named by the words of its option rows.
template <typename Code>
void ExpectWordsRoundTrip(int nCodes) {
  for (int i = 0; i < nCodes; ++i) {
    SCOPED_TRACE(i);
    Code code = static_cast<Code>(nCodes);
    ASSERT_FALSE(kmCodeText(static_cast<Code>(i)).IsEmpty());
    EXPECT_TRUE(kmCodeFromText(kmCodeText(static_cast<Code>(i)), code));
    EXPECT_EQ(static_cast<int>(code), i);
  }
  EXPECT_EQ(kmCodeText(static_cast<Code>(nCodes)), "");
  Code code = static_cast<Code>(0);
  EXPECT_FALSE(kmCodeFromText(KmString("no such text"), code));
  EXPECT_EQ(static_cast<int>(code), 0);
}

TEST(kmSessionOptions, CodedOptionTextsRoundTrip) {
  ExpectTexts(kmComparisonTypeText, 3);
  ExpectWordsRoundTrip<kmPairwiseType>(2);
  ExpectTexts(kmDependentTypeText, 6);
  ExpectTexts(kmJumpCRModeText, 7);
  ExpectWordsRoundTrip<kmDelayType>(3);
  ExpectWordsRoundTrip<kmDelimiter>(4);
  // Every other code names the unordered, BIC-based clustering.
  ExpectTexts(kmClusterOrderingText, 2, "unordered");
  ExpectTexts(kmClusterCriterionText, 3, "KBIC-CBIC");
  EXPECT_STREQ(kmDependentTypeText(kmDependentType::kAgeAdjustedRate),
               "Age-Adjusted Rate");
  EXPECT_EQ(kmCodeText(kmPairwiseType::kParallel), "parallel");
}

TEST(kmSessionOptions, CodedOptionsAreReadAndWrittenAsTheirStoredCodes) {
  kmSession session;
  session.SetInt(kmOptComparisonType, 2);
  EXPECT_EQ(session.Get<kmComparisonType>(), kmComparisonType::kClustering);
  session.Set(kmDelayType::kBoth);
  EXPECT_EQ(session.GetInt(kmOptDelayType), 2);
  session.SetInt(kmOptVarCovarDelimiter, 3);
  EXPECT_EQ(kmVarCovarDelimiter(session), kmDelimiter::kSemicolon);
  EXPECT_EQ(session.Get<kmDelimiter>(), kmDelimiter::kTab);
  EXPECT_EQ(session.Get<kmDelayStatKind>(), kmDelayStatKind::kNone);
}

TEST(kmSessionOptions, MissingStringFollowsTheMissingCharacterOption) {
  struct Case {
    int iCode;
    const char* sExpected;
  };
  const Case kCases[] = {{0, " "}, {1, "."}, {2, "NA"}};
  kmSession session;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.iCode);
    session.SetInt(kmOptMissingCharacter, c.iCode);
    KmString sOut("previous");
    EXPECT_EQ(session.GetMissingString(sOut), c.sExpected);
    EXPECT_EQ(sOut, c.sExpected);
  }
  session.SetInt(kmOptMissingCharacter, 3);
  KmString sOut;
  KmException e =
      km_test::CatchKmException([&] { session.GetMissingString(sOut); });
  EXPECT_STREQ(e.GetMessage(), "Missing character 3 not recognized.");
  EXPECT_STREQ(e.GetCallPath(), "GetMissingString() of kmSession");
}

}  // namespace
