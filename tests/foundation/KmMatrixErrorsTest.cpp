#include <gtest/gtest.h>
#include <newmat.h>

#include <string>

#include "foundation/KmMatrixErrors.h"

namespace {

TEST(KmMatrixErrors, LibraryErrorBecomesKmExceptionWithItsText) {
  try {
    WithMatrixErrorsAsKm("BaseKMRegModel::findTheBestTau()", [] {
      NEWMAT::ColumnVector v(2);
      v = 0.0;
      return v(3);  // out of range: raises the library's index error
    });
    FAIL() << "expected a KmException";
  } catch (KmException& e) {
    EXPECT_EQ(std::string(e.GetSource()), "BaseKMRegModel::findTheBestTau()");
    EXPECT_NE(std::string(e.GetMessage()).find("detected by Newmat"),
              std::string::npos)
        << e.GetMessage();
  }
}

TEST(KmMatrixErrors, ResultAndOtherExceptionsPassThrough) {
  EXPECT_EQ(WithMatrixErrorsAsKm("f", [] { return 7; }), 7);
  EXPECT_THROW(
      WithMatrixErrorsAsKm("f", []() -> int { throw KmException("m", "s"); }),
      KmException);
}

}  // namespace
