// readMatrixFromCSVFile: the comma-separated matrix file reader.
#include "models/MatrixCSVFile.h"

#include <newmat.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmLineSource.h"
#include "foundation/KmShownText.h"
#include "foundation/KmString.h"
#include "foundation/kmTools.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

namespace {

constexpr const char kSource[] = "readMatrixFromCSVFile";
// Fields read from a data line: the label and three numbers.
constexpr int kFieldsUsed = 4;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsBlankLine(const std::string& sLine) {
  for (char c : sLine)
    if (!IsBlank(c)) return false;
  return true;
}

// Splits sLine at commas into at most kFieldsUsed fields; the text after the
// fourth comma-separated field is ignored.
std::vector<std::string> SplitFields(const std::string& sLine) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (static_cast<int>(fields.size()) < kFieldsUsed) {
    const size_t comma = sLine.find(',', start);
    if (comma == std::string::npos) {
      fields.push_back(sLine.substr(start));
      break;
    }
    fields.push_back(sLine.substr(start, comma - start));
    start = comma + 1;
  }
  return fields;
}

// Reads the number of field iField (1-based) of line iLine. A field that is
// empty, does not begin with a number, or has more than blanks after it is
// refused: reading it as 0 or as its leading digits would put a value into
// the matrix that the file does not hold.
double ParseNumber(const std::string& sField, int iLine, int iField,
                   const std::string& sFileName) {
  // Blanks around the number are layout; the number itself is read by the
  // one rule of the files' numbers (kmTools::ReadFieldNumber).
  double dValue = 0.0;
  if (kmTools::ReadFieldNumber(KmString(sField.c_str()), KmString(), dValue) !=
      kmTools::FieldNumber::kNumber) {
    GenerateKmInputExceptionF(
        "Invalid number \"%s\" in field %d of line %d of the matrix file "
        "\"%s\".",
        kSource, sField.c_str(), iField, iLine, sFileName.c_str());
  }
  return dValue;
}

void ReadMatrixFile(KMPartitionMatrix& result, const std::string& sFileName) {
  KmLineSource source("Matrix file");
  if (!source.Open(sFileName.c_str(), false)) {
    GenerateKmExceptionF("Unable to open file \"%s\" for reading.", kSource,
                         sFileName.c_str());
  }

  std::vector<std::string> labels;
  std::vector<double> numbers;  // three per label, row by row
  KmString sText;
  while (source.ReadLine(sText)) {
    const int iLine = static_cast<int>(source.GetLineNumber());
    const std::string sLine(sText.GetCString());
    PrintShown(stdout, sLine + "\n");
    if (iLine == 1 || IsBlankLine(sLine)) continue;

    const std::vector<std::string> fields = SplitFields(sLine);
    if (static_cast<int>(fields.size()) < kFieldsUsed) {
      // A label without its numbers would leave the labels and the rows
      // out of step, and the caller pairs them by position.
      GenerateKmInputExceptionF(
          "Line %d of the matrix file \"%s\" has %d field(s); a label and "
          "three numbers are needed.",
          kSource, iLine, sFileName.c_str(), static_cast<int>(fields.size()));
    }
    for (int f = 1; f < kFieldsUsed; ++f)
      numbers.push_back(ParseNumber(fields[f], iLine, f + 1, sFileName));
    labels.push_back(fields[0]);
  }

  const int iRows = static_cast<int>(labels.size());
  NEWMAT::Matrix matrix(iRows, 3);
  for (int r = 1; r <= iRows; ++r)
    for (int c = 1; c <= 3; ++c)
      matrix(r, c) = numbers[static_cast<size_t>((r - 1) * 3 + (c - 1))];
  result.labels = labels;
  result.matrix = matrix;
}

}  // namespace

void readMatrixFromCSVFile(KMPartitionMatrix& result,
                           const std::string& sFileName) {
  WithStandardCatch([&] {
    result.labels.clear();
    result.matrix.ReSize(0, 3);
    // ReadMatrixFile assigns result only once the whole file has been read,
    // so a failure leaves it as cleared above.
    WithCallPath("readMatrixFromCSVFile()", nullptr, sFileName.c_str(),
                 [&] { ReadMatrixFile(result, sFileName); });
  });
}
