// WriteTextReportHeader: the " Model Specifications:" block of the run
// summary.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/KmCallPath.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmString.h"
#include "foundation/KmVector.h"
#include "reports/kmRunSummary.h"
#include "session/kmAAPCRanges.h"
#include "session/kmComparisonType.h"
#include "session/kmDependentType.h"
#include "session/kmFitMethod.h"
#include "session/kmIntervalMethod.h"
#include "session/kmJumpCRMode.h"
#include "session/kmModelSelection.h"
#include "session/kmSession.h"

namespace {

const char kClassName[] = "kmSession";
// Text write, append (the driver has written the head of the file).
constexpr int32_t kAppendTextMode = KmIO_File::kWrite | KmIO_File::kText |
                                    KmIO_File::kShared | KmIO_File::kAppend;
// Characters that stand before the "=" of a labelled line, so that every
// "=" of the block stands in column 54.
constexpr int32_t kLabelWidth = 53;
// The two lines under "Dependent Variable:" stand one column to the left.
constexpr int32_t kDependentLabelWidth = 52;
// At most this many last-observation ranges and custom ranges are listed.
constexpr size_t kMaxLastObsRanges = 2;
constexpr size_t kMaxCustomRanges = 3;

// Appends the indent, the label, blanks up to iWidth characters, "=  " and
// the value.
KmString& AppendLine(KmString& sText, int32_t iIndent, const char* sLabel,
                     const KmString& sValue, int32_t iWidth = kLabelWidth) {
  KmString sHead = kmSession::GetBlankString(iIndent);
  sHead << sLabel;
  sText << sHead << kmSession::GetBlankString(iWidth - sHead.GetLength())
        << "=  " << sValue;
  return sText;
}

KmString Formatted(const char* sFormat, double dValue) {
  KmString sText;
  sText.printf(sFormat, dValue);
  return sText;
}

KmString Whole(int32_t iValue) {
  KmString sText;
  sText << iValue;
  return sText;
}

int32_t DecimalDigits(int32_t iValue) {
  int32_t iDigits = 1;
  for (int32_t i = iValue; i >= 10; i /= 10) ++iDigits;
  return iDigits;
}

// Text of iCode in a table of names for the codes 0 to N - 1; sOther for
// any other code.
template <size_t N>
const char* NameOf(const char* const (&names)[N], int32_t iCode,
                   const char* sOther) {
  return (iCode >= 0 && static_cast<size_t>(iCode) < N) ? names[iCode] : sOther;
}

// sText, or sOther when it is nullptr (a code without a text).
const char* TextOr(const char* sText, const char* sOther) {
  return sText != nullptr ? sText : sOther;
}

// Model selection methods 1 to 6 (0, the permutation test, has lines of its
// own).
const char* const kModelSelectionNames[] = {
    nullptr,
    "Bayesian Information Criterion (BIC)",
    "Modified Bayesian Information Criterion (MBIC)",
    "Bayesian Information Criterion 3 (BIC3)",
    "Data Dependent Selection",
    "Weighted Bayesian Information Criterion Alternative (WBIC-Alt)",
    "Weighted Bayesian Information Criterion (WBIC)"};

const char* const kCIMethodNames[] = {"Parametric", "First Last Method",
                                      "Resampling T", "Empirical Quantile"};

// Suffix of the interval method by the empirical quantile method 0, 1, 3.
const char* const kEmpQuantileSuffixes[] = {
    " Method 1", " Method 2", "", ". Method 1 obs >=18.  Method 2 obs < 18."};

// The AAPC range lines; nothing unless the independent variable has labels
// and some range is asked for.
void AppendAAPCRanges(KmString& sText, const KmVector<KmString>& vLabels,
                      const kmAAPCRanges& ranges, const KmString& D) {
  const std::vector<int32_t> vLastObs = ranges.GetLastObsRanges();
  const std::vector<double> vStarts = ranges.GetStartRange();
  const std::vector<double> vEnds = ranges.GetEndRange();
  if (vLabels.empty() ||
      (!ranges.GetFullRange() && vLastObs.empty() && vStarts.empty())) {
    return;
  }
  const int32_t iCount = static_cast<int32_t>(vLabels.size());
  const KmString& sLast = vLabels[iCount - 1];

  sText << "    AAPC Ranges     " << D;
  if (ranges.GetFullRange()) {
    KmString sValue(vLabels[0]);
    sValue << " - " << sLast;
    AppendLine(sText, 6, "Full Range", sValue) << D;
  }
  for (size_t k = 0; k < vLastObs.size() && k < kMaxLastObsRanges; ++k) {
    const int32_t n = vLastObs[k];
    // A length the labels cannot cover names no observation to start
    // from; listing the others beats losing the whole block.
    if (n < 1 || n > iCount) continue;
    sText << "      The Last " << n << " Observations"
          << kmSession::GetBlankString(25 - DecimalDigits(n)) << "=  "
          << vLabels[iCount - n] << " - " << sLast << D;
  }
  for (size_t k = 0;
       k < vStarts.size() && k < vEnds.size() && k < kMaxCustomRanges; ++k) {
    KmString sValue = Formatted("%.0f", vStarts[k]);
    sValue << " - " << Formatted("%.0f", vEnds[k]);
    AppendLine(sText, 6, "Other Range", sValue) << D;
  }
}

// The model definition and by-variables.
void AppendModelHeader(const kmSession& session, KmString& sText,
                       const KmString& D) {
  const bool bCalculated = session.GetBool(kmOptDependentCalculated);
  sText << D << " Model Specifications:" << D << D;
  AppendLine(sText, 4, "Independent Variable",
             session.GetKMVar(kmVarIndependent).GetName())
      << D;
  KmString sShift;
  sShift << session.GetDouble(kmOptDataShift);
  AppendLine(sText, 4, "Shift Data Points by", sShift) << D << D;

  sText << "    Dependent Variable:" << D;
  AppendLine(sText, 6, "Calculated or Provided",
             bCalculated ? "Calculated" : "Provided", kDependentLabelWidth)
      << D;
  AppendLine(
      sText, 6, "Type",
      TextOr(kmDependentTypeText(session.Get<kmDependentType>()), "Unknown"),
      kDependentLabelWidth)
      << D << D;

  AppendLine(sText, 4, "Type of Change Point Model", "Kinkmark") << D;
  AppendLine(
      sText, 4, "Loglinear Model",
      session.GetBool(kmOptLogLinear) ? "Yes {ln(y) = xb}" : "No {y = xb}")
      << D;
  const char* sHetError = "Unknown";
  switch (session.Get<kmErrorModel>()) {
    case kmErrorModel::kConstantVariance:
      sHetError = "Constant Variance (Homoscedasticity)";
      break;
    case kmErrorModel::kStandardError:
      sHetError = bCalculated ? "Standard Error (Calculated)"
                              : "Standard Error (Provided)";
      break;
    case kmErrorModel::kPoissonCount:
    case kmErrorModel::kPoissonRate:
      sHetError = "Poisson Variance";
      break;
    // Applied to every fit (the error model names the matrix).
    case kmErrorModel::kVarCovMatrix:
      sHetError = "Variance-Covariance Matrix from a File";
      break;
    default:
      break;
  }
  AppendLine(sText, 4, "Heteroscedastic Errors Model", sHetError) << D << D;

  const int32_t iNumByVars = session.GetNumByVars();
  if (iNumByVars > 0) {
    sText << "    By Variables:" << D << kmSession::GetBlankString(6);
    for (int32_t i = 0; i < iNumByVars; ++i) {
      if (i > 0) sText << ", ";
      sText << session.GetByVar(static_cast<int16_t>(i)).GetName();
    }
    sText << D << D;
  }
}

// The search method, kinkmark counts and model selection.
void AppendSearchHeader(const kmSession& session, KmString& sText,
                        const KmString& D) {
  const bool bHudsons = kmIsHudsons(session.Get<kmFitMethod>());
  AppendLine(sText, 4, "Method", bHudsons ? "Hudson's" : "Grid Search") << D;
  // The whole code is compared: a value that only looks like 0 or 1 in
  // its low 16 bits is still a specified parameter.
  const kmAutocorrErrors autocorr = session.Get<kmAutocorrErrors>();
  if (autocorr == kmAutocorrErrors::kUncorrelated) {
    AppendLine(sText, 4, "Autocorrelation Errors", "Uncorrelated");
  } else if (autocorr == kmAutocorrErrors::kEstimated) {
    AppendLine(sText, 4, "Autocorrelation Errors", "Estimated");
  } else {
    AppendLine(sText, 4, "Autocorrelation Errors", "Specified") << D;
    AppendLine(sText, 4, "Autocorrelation Parameter (AR(1))",
               Formatted("%.4f", session.GetDouble(kmOptAutocorrParameter)));
  }
  sText << D << D;

  // The kinkmark counts, then the spacing of the kinkmarks, each group
  // followed by a blank line.
  const struct {
    const char* sLabel;
    int32_t iOption;
    bool bEndsGroup;
  } kCountLines[] = {
      {"Minimum Number of Kinkmarks", kmOptMinKinkmarks, false},
      {"Maximum Number of Kinkmarks", kmOptMaxKinkmarks, true},
      {"Minimum Number Obs Before First Kinkmark", kmOptMinObsEnd, false},
      {"Minimum Number Obs Between Two Kinkmarks", kmOptMinObsBetween, false},
      {"Number of Grid Points Between Data Points", kmOptGridPointsBetween,
       true}};
  for (const auto& line : kCountLines) {
    AppendLine(sText, 4, line.sLabel, Whole(session.GetInt(line.iOption))) << D;
    if (line.bEndsGroup) sText << D;
  }

  const kmModelSelection selection = session.Get<kmModelSelection>();
  if (selection == kmModelSelection::kPermutationTest) {
    AppendLine(sText, 4, "Model Selection Method", "Permutation Test") << D;
    AppendLine(sText, 4, "Overall Significance Level of Permutation Tests",
               Formatted("%.4f", session.GetDouble(kmOptPermSignificance)))
        << D;
    AppendLine(sText, 4, "Number of Permutations to Perform for Each Test",
               Whole(session.GetInt(kmOptNumPermutations)))
        << D;
  } else if (const char* sName =
                 NameOf(kModelSelectionNames, static_cast<int32_t>(selection),
                        nullptr)) {
    AppendLine(sText, 4, "Model Selection Method", sName) << D;
  } else {
    AppendLine(sText, 4, "Model Selection Method", "");
  }
  AppendLine(sText, 4, "Seed for Randomly Permuting Data",
             Whole(session.GetInt(kmOptPermutationSeed)))
      << D;
  if (bHudsons && selection == kmModelSelection::kPermutationTest) {
    const kmEarlyStopping stopping = session.Get<kmEarlyStopping>();
    sText << D;
    AppendLine(sText, 4, "Early Stopping Options",
               stopping == kmEarlyStopping::kBValue      ? "B-Value"
               : stopping == kmEarlyStopping::kCurtailed ? "Curtailed"
                                                         : "Fixed")
        << D;
  }
}

// The significance levels, interval method and AAPC ranges.
void AppendLevelsHeader(const kmSession& session, KmString& sText,
                        const KmString& D) {
  const bool bJumpCR = session.Get<kmJumpCRMode>() != kmJumpCRMode::kOff;
  AppendLine(sText, 4, "Kinkmark Significance Level",
             Formatted("%.4f", session.GetDouble(kmOptKinkmarkAlpha)))
      << D;
  AppendLine(sText, 4, "APC Significance Level",
             Formatted("%.4f", session.GetDouble(kmOptAPCAlpha)))
      << D;
  AppendLine(sText, 4, "AAPC Significance Level",
             Formatted("%.4f", session.GetDouble(kmOptAAPCAlpha)))
      << D;
  AppendLine(sText, 4, "Jump Value and CR Significance Level",
             bJumpCR ? Formatted("%.4f", session.GetDouble(kmOptJumpCRAlpha))
                     : KmString("Not Applicable"))
      << D << D;

  const kmIntervalMethod ciMethod = session.Get<kmIntervalMethod>();
  KmString sInterval(
      NameOf(kCIMethodNames, static_cast<int32_t>(ciMethod), ""));
  if (session.GetBool(kmOptFSMOnly)) sInterval << " FSMO";
  if (ciMethod != kmIntervalMethod::kParametric) {
    sInterval << NameOf(
        kEmpQuantileSuffixes,
        static_cast<int32_t>(session.Get<kmEmpQuantileMethod>()), "");
  }
  AppendLine(sText, 4, "AAPC Confidence Interval Method", sInterval) << D;
  if (ciMethod == kmIntervalMethod::kEmpiricalQuantile) {
    sText << "      Number of Resamples  =  "
          << session.GetInt(kmOptNumResamples) << D;
  }

  KmVector<KmString> vLabels;
  session.GetIndependentVarLabels(vLabels);
  AppendAAPCRanges(sText, vLabels, session.GetAAPCRanges(), D);
  sText << D;
}

// The jump model and comparison type.
void AppendJumpAndComparisonHeader(const kmSession& session, KmString& sText,
                                   const KmString& D) {
  const kmJumpCRMode jumpCRMode = session.Get<kmJumpCRMode>();
  AppendLine(sText, 4, "Jump Model / Comparability Ratio",
             TextOr(kmJumpCRModeText(jumpCRMode), ""))
      << D;
  const struct {
    const char* sLabel;
    int32_t iOption;
  } kJumpLines[] = {{"Jump Location", kmOptJumpLocation},
                    {"Comparability Ratio", kmOptCRValue},
                    {"Variance of CR", kmOptCRVariance}};
  for (const auto& line : kJumpLines) {
    AppendLine(sText, 6, line.sLabel,
               jumpCRMode != kmJumpCRMode::kOff
                   ? Formatted("%.9f", session.GetDouble(line.iOption))
                   : KmString("Not Applicable"))
        << D;
  }
  sText << D;

  const kmComparisonType comparison = session.Get<kmComparisonType>();
  if (comparison == kmComparisonType::kPairwise) {
    AppendLine(sText, 4, "Comparison Type",
               kmComparisonTypeText(kmComparisonType::kPairwise))
        << D;
    AppendLine(sText, 6, "Pairwise Comparison",
               session.Get<kmPairwiseType>() == kmPairwiseType::kParallel
                   ? "Parallel"
                   : "Coincident")
        << D;
    AppendLine(sText, 6, "Significance Level of Permutation Tests",
               Formatted("%.4f", session.GetDouble(kmOptPairwiseAlpha)))
        << D;
    AppendLine(sText, 6, "Permutations to Perform for Each Test",
               Whole(session.GetInt(kmOptPairwisePermutations)))
        << D;
  } else {
    // Every code but none and pairwise is the clustering.
    AppendLine(sText, 4, "Comparison Type",
               kmComparisonTypeText(comparison == kmComparisonType::kNone
                                        ? kmComparisonType::kNone
                                        : kmComparisonType::kClustering))
        << D;
    AppendLine(sText, 6, "Pairwise Comparison", "Not Applicable") << D;
  }
}

}  // namespace

void WriteTextReportHeader(const kmSession& session,
                           const KmFileTarget& sFileName,
                           KmString sLineDelimiter) {
  WithCallPath(
      "WriteTextReportHeader(const kmCalcHandler *pHandler, "
      "KmString)",
      kClassName, [&] {
        const KmString& D = sLineDelimiter;
        KmString sText;
        AppendModelHeader(session, sText, D);
        AppendSearchHeader(session, sText, D);
        AppendLevelsHeader(session, sText, D);
        AppendJumpAndComparisonHeader(session, sText, D);

        // The block is written in one piece, so a failure above leaves the
        // file as it was. The run summary is a text file that the driver
        // goes on appending to, so no terminating zero byte is written.
        WriteRunSummaryText(sFileName, kAppendTextMode, "appending", kClassName,
                            sText);
      });
}
