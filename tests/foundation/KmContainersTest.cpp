// Tests of the container templates KmVector and OneDimensionArray.
#include <gtest/gtest.h>
#include <newmat.h>

#include <cstring>
#include <string>

#include "foundation/KmString.h"
#include "foundation/KmVector.h"
#include "foundation/OneDimensionArray.h"
#include "tests/test_util/CatchKmException.h"

namespace {

using km_test::CatchKmException;

TEST(KmVector, IndexOutOfRangeRaisesKmException) {
  struct Case {
    int iSize;
    int32_t iIndex;
    const char* sMessage;
  };
  const Case cases[] = {
      {3, 3, "Index 3 out of range; vector is from 0 to 2"},
      {3, -1, "Index -1 out of range; vector is from 0 to 2"},
      {0, 0, "Index 0 out of range; vector is from 0 to -1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sMessage);
    KmVector<int> v(static_cast<size_t>(c.iSize), 7);
    const KmVector<int>& cv = v;
    int out = 0;
    for (const KmException& e :
         {CatchKmException([&] { v[c.iIndex]; }),
          CatchKmException([&] { cv[c.iIndex]; }),
          CatchKmException([&] { v.GetAt(out, c.iIndex); }),
          CatchKmException([&] { v.SetAt(1, c.iIndex); })}) {
      EXPECT_STREQ(e.GetMessage(), c.sMessage);
      EXPECT_STREQ(e.GetSource(), "KmVector");
      EXPECT_EQ(e.GetKind(), 0);
    }
  }
}

TEST(KmVector, AccessCopyAndStandardOperations) {
  KmVector<KmString> v;
  v.push_back("a");
  v.push_back("b");
  v.SetAt("c", 1);
  KmString out;
  v.GetAt(out, 1);
  EXPECT_STREQ(out.GetCString(), "c");
  KmVector<KmString> copy(v);
  copy[0] = "z";
  EXPECT_STREQ(v[0].GetCString(), "a");
  EXPECT_EQ(copy.size(), 2u);

  KmVector<bool> flags(2);
  flags[1] = true;
  bool b = false;
  flags.GetAt(b, 1);
  EXPECT_TRUE(b);

  KmVector<KmVector<int>> nested(2);
  nested[1].push_back(4);
  EXPECT_EQ(nested[1][0], 4);
}

TEST(OneDimensionArray, IndexOutsideThrowsPlainText) {
  OneDimensionArray<int> a;
  a.Resize(3);
  a[2] = 5;
  EXPECT_EQ(a[2], 5);
  for (int i : {3, -1}) {
    SCOPED_TRACE(i);
    try {
      a[i];
      ADD_FAILURE() << "nothing thrown";
    } catch (const char* sText) {
      EXPECT_STREQ(sText,
                   "Index Limit Exceeded! inside MyOwnArray:: operator[]() "
                   "of OneDimensionArray");
    }
  }
}

TEST(OneDimensionArray, ResizeDiscardsAndZeroes) {
  OneDimensionArray<double> d;
  d.Resize(5);
  for (int i = 0; i < 5; ++i) d[i] = i + 1.5;
  d.Resize(2);
  ASSERT_EQ(d.GetSize(), 2);
  EXPECT_EQ(d[0], 0.0);
  EXPECT_EQ(d[1], 0.0);
  d.SetSize(-5);
  EXPECT_EQ(d.GetSize(), 0);

  OneDimensionArray<KmString> texts;
  texts.Resize(2);
  EXPECT_STREQ(texts[0].GetCString(), "0");
  EXPECT_STREQ(texts[1].GetCString(), "0");

  OneDimensionArray<int*> pointers;
  pointers.Resize(2);
  EXPECT_EQ(pointers[1], nullptr);

  OneDimensionArray<OneDimensionArray<int>> nested;
  nested.Resize(2);
  EXPECT_EQ(nested[1].GetSize(), 0);

  OneDimensionArray<NEWMAT::ColumnVector> vectors;
  vectors.Resize(2);
  EXPECT_EQ(vectors[0].Nrows(), 0);
}

TEST(OneDimensionArray, AssignmentAndCopyAreDeep) {
  OneDimensionArray<OneDimensionArray<int>> source;
  source.Resize(2);
  source[1].Resize(3);
  source[1][2] = 9;
  OneDimensionArray<OneDimensionArray<int>> assigned;
  assigned.Resize(7);
  assigned = source;
  OneDimensionArray<OneDimensionArray<int>> copied(source);
  source[1][2] = 1;
  for (const auto* a : {&assigned, &copied}) {
    ASSERT_EQ(a->GetSize(), 2);
    EXPECT_EQ((*a)[1][2], 9);
  }
  // Assigning an array to itself keeps its elements.
  OneDimensionArray<int>& self = source[1];
  self = source[1];
  EXPECT_EQ(self.GetSize(), 3);
  EXPECT_EQ(self[2], 1);

  const int values[] = {4, 5, 6};
  OneDimensionArray<int> filled;
  filled.Resize(3);
  filled.CopyElements(values);
  EXPECT_EQ(filled[0] + filled[1] + filled[2], 15);
  filled.Clear();
  EXPECT_EQ(filled.GetSize(), 0);
}

}  // namespace
