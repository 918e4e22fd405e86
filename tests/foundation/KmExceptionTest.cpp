#include <gtest/gtest.h>

#include <string>

#include "foundation/KmException.h"
#include "tests/test_util/CatchKmException.h"

namespace {

using km_test::CatchKmException;

TEST(KmException, ThrowFunctionsSetKindNumberAndEmptyCallPath) {
  struct Case {
    const char* sName;
    KmException thrown;
    const char* sMessage;
    int32_t iKind;
    int32_t iNumber;
  };
  const Case cases[] = {
      {"GenerateKmException",
       CatchKmException([] { GenerateKmException("plain", "Src"); }), "plain",
       0, -1},
      {"ThrowKmException",
       CatchKmException([] { ThrowKmException("plain", "Src"); }), "plain", 0,
       -1},
      {"GenerateKmExceptionF",
       CatchKmException([] { GenerateKmExceptionF("v=%d %s", "Src", 4, "x"); }),
       "v=4 x", 0, -1},
      {"GenerateKmInputExceptionF", CatchKmException([] {
         GenerateKmInputExceptionF("bad key %s", "Src", "k");
       }),
       "bad key k", 3, -1},
      {"GenerateKmInputExceptionN", CatchKmException([] {
         GenerateKmInputExceptionN("Cannot have more than %d by variables.",
                                   "Src", 10);
       }),
       "Cannot have more than 10 by variables.", 3, 10},
      // The number is printed first; further arguments follow it, and "%%"
      // before the first conversion is not taken for it.
      {"GenerateKmInputExceptionN with further arguments", CatchKmException([] {
         GenerateKmInputExceptionN("100%% of %d in %s (%d)", "Src", 7, "f", 2);
       }),
       "100% of 7 in f (2)", 3, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sName);
    EXPECT_STREQ(c.thrown.GetMessage(), c.sMessage);
    EXPECT_STREQ(c.thrown.GetSource(), "Src");
    EXPECT_STREQ(c.thrown.GetCallPath(), "");
    EXPECT_EQ(c.thrown.GetKind(), c.iKind);
    EXPECT_EQ(c.thrown.GetNumber(), c.iNumber);
  }
}

TEST(KmException, NullTextsGiveEmptyFields) {
  const KmException e =
      CatchKmException([] { GenerateKmExceptionF(nullptr, nullptr); });
  EXPECT_STREQ(e.GetMessage(), "");
  EXPECT_STREQ(e.GetSource(), "");
  KmException set("m", "s");
  set.SetMessage(static_cast<const char*>(nullptr));
  set.SetSource(nullptr);
  set.SetCallPath(nullptr);
  EXPECT_STREQ(set.GetMessage(), "");
  EXPECT_STREQ(set.GetSource(), "");
  EXPECT_STREQ(set.GetCallPath(), "");
}

TEST(KmException, AddCallPathJoinsLinesWithCrLf) {
  KmException e("m", "s");
  e.AddCallPath("F()", "A", nullptr);
  e.AddCallPath("G()", "B", "d");
  EXPECT_STREQ(e.GetCallPath(), "F() of A\r\nG() of B (d)");
}

TEST(KmException, AddCallPathLeavesOutMissingParts) {
  struct Case {
    const char* sMethod;
    const char* sClass;
    const char* sDetail;
    const char* sLine;
  };
  const Case cases[] = {
      {nullptr, "A", nullptr, " of A"},
      {"F()", nullptr, nullptr, "F()"},
      {"F()", nullptr, "d", "F() (d)"},
      {"Truncate()", "KmString", nullptr, "Truncate() of KmString"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sLine);
    KmException e;
    e.AddCallPath(c.sMethod, c.sClass, c.sDetail);
    EXPECT_STREQ(e.GetCallPath(), c.sLine);
  }
}

TEST(KmException, CopyAndAssignmentCopyAllFields) {
  KmException original =
      CatchKmException([] { GenerateKmInputExceptionN("n=%d", "Src", 5); });
  original.AddCallPath("F()", "A");
  const KmException copy(original);
  KmException assigned;
  assigned = original;
  for (const KmException* e :
       {&copy, static_cast<const KmException*>(&assigned)}) {
    EXPECT_STREQ(e->GetMessage(), "n=5");
    EXPECT_STREQ(e->GetSource(), "Src");
    EXPECT_STREQ(e->GetCallPath(), "F() of A");
    EXPECT_EQ(e->GetKind(), 3);
    EXPECT_EQ(e->GetNumber(), 5);
  }
  // Each copy owns its texts.
  original.SetMessage("changed");
  EXPECT_STREQ(copy.GetMessage(), "n=5");
}

TEST(KmException, FormattedSetMessageHoldsLongText) {
  KmException e("short", "s");
  const std::string sLong(5000, 'x');
  e.SetMessage("<%s>", sLong.c_str());
  EXPECT_EQ(std::string(e.GetMessage()), "<" + sLong + ">");
  e.Init();
  EXPECT_STREQ(e.GetMessage(), "");
  EXPECT_EQ(e.GetNumber(), -1);
}

TEST(KmException, WhatGivesTheMessage) {
  try {
    GenerateKmException("visible text", "Src");
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "visible text");
  }
}

TEST(KmMalformedDataException, CarriesLetterAndTextThroughCopies) {
  try {
    GenerateKmMalformedDataException("\"%s\" is bad", 'N', "1,5", "Conv",
                                     "1,5");
    FAIL() << "nothing thrown";
  } catch (KmMalformedDataException& e) {
    e.AddCallPath("F()", "A");
    const KmMalformedDataException copy(e);
    EXPECT_STREQ(copy.GetMessage(), "\"1,5\" is bad");
    EXPECT_STREQ(copy.GetSource(), "Conv");
    EXPECT_STREQ(copy.GetCallPath(), "F() of A");
    EXPECT_EQ(copy.GetKind(), 0);
    EXPECT_EQ(copy.GetNumber(), -1);
    EXPECT_EQ(copy.GetDataType(), 'N');
    EXPECT_EQ(copy.GetText(), "1,5");
  }
  // Handlers of the base type catch it.
  const KmException base = CatchKmException(
      [] { GenerateKmMalformedDataException("m", 'S', "t", "Conv"); });
  EXPECT_STREQ(base.GetMessage(), "m");
}

}  // namespace
