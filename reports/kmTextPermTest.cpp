// kmTextPermTest: construction and the model-selection export.
#include "reports/kmTextPermTest.h"

#include <cmath>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "reports/kmExportEntries.h"
#include "reports/kmExportLine.h"
#include "results/kmCalcHandler.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

const char* const kClassName = "kmTextPermTest";

}  // namespace

const char* ModelSelectionExportSuffix(kmModelSelection selection) {
  switch (selection) {
    case kmModelSelection::kBIC:
      return "bicexport.txt";
    case kmModelSelection::kMBIC:
      return "mbicexport.txt";
    case kmModelSelection::kBIC3:
      return "bic3export.txt";
    case kmModelSelection::kDataDependent:
      return "ddcexport.txt";
    case kmModelSelection::kWBICAlt:
      return "wbicaltexport.txt";
    case kmModelSelection::kWBIC:
      return "wbicexport.txt";
    default:
      return "permtestexport.txt";
  }
}

const char* kmTextPermTest::CriterionTitle(kmModelSelection selection) {
  switch (selection) {
    case kmModelSelection::kMBIC:
      return "Modified BIC";
    case kmModelSelection::kBIC3:
      return "BIC3";
    case kmModelSelection::kWBICAlt:
      return "WBIC-Alt";
    case kmModelSelection::kWBIC:
      return "WBIC";
    default:
      return "BIC";
  }
}

kmTextPermTest::kmTextPermTest(kmCalcHandler* pHandler, bool bFlag)
    : pHandler_(pHandler), bPermutationSelection_(false), bFlag_(bFlag) {
  WithCallPath("kmTextPermTest(kmCalcHandler*, bool)", kClassName, [&] {
    bPermutationSelection_ =
        Session().Get<kmModelSelection>() == kmModelSelection::kPermutationTest;
  });
}

kmTextPermTest::~kmTextPermTest() = default;

kmCalcHandler& kmTextPermTest::Handler() const {
  if (pHandler_ == nullptr) {
    ThrowKmException("No results handler was given to the export writer.",
                     kClassName);
  }
  return *pHandler_;
}

const kmSession& kmTextPermTest::Session() const {
  const kmSession* pSession = Handler().GetSession();
  if (pSession == nullptr) {
    ThrowKmException("The results handler holds no session.", kClassName);
  }
  return *pSession;
}

void kmTextPermTest::AddPaddedReal(kmExportLine& line, double dValue) const {
  const int32_t iPrecision = Handler().GetIntDisplayOption(kmDispPValuePrec);
  line.AddPrinted("%16.*f", iPrecision < 0 ? 0 : iPrecision, dValue);
}

void kmTextPermTest::WriteExportFile(const KmFileTarget& sPath,
                                     const DataExportOptions* pOptions) {
  WithCallPath("WriteExportFile(const char*, const DataExportOptions*)",
               kClassName, [&] {
                 std::unique_ptr<KmIO_File> pFile =
                     OpenExportFile(sPath, kClassName);
                 WriteTableExportFile(pFile.get(), pOptions);
                 pFile->Close();
               });
}

void kmTextPermTest::WriteTableExportFile(KmIO_File* pFile,
                                          const DataExportOptions* pOptions) {
  WithCallPath(
      "WriteTableExportFile(KmIO_File*, const DataExportOptions*)", kClassName,
      [&] {
        WriteTableHeader(pFile, pOptions, 1);
        bool bComparisonHeader = false;
        const int32_t nEntries = NumExportEntries(Handler());
        for (int32_t e = 0; e < nEntries; ++e) {
          kmEntryRecords records(Handler(), e);
          const kmCalcData& record = records.Last();
          int32_t n = static_cast<int32_t>(bPermutationSelection_
                                               ? record.vFTests.size()
                                               : record.vModels.size());
          // A comparison's last F test is the comparison's own; the
          // pairwise export shows it.
          if (bPermutationSelection_ && records.IsComparison() && n > 0) --n;
          if (records.IsComparison() && !bComparisonHeader) {
            WriteTableHeader(pFile, pOptions, 2);
            bComparisonHeader = true;
          }
          // A refused cohort or comparison was never fitted: its placeholder
          // model holds no criterion, so it gets no rows.
          if (!record.bValid) continue;
          for (int32_t t = 0; t < n; ++t) {
            if (bPermutationSelection_) {
              WriteTablePermTest(pFile, e, &record, t, pOptions);
            } else {
              WriteTableBIC(pFile, e, &record, t, pOptions);
            }
          }
        }
      });
}

void kmTextPermTest::WriteTableHeader(KmIO_File* pFile,
                                      const DataExportOptions* pOptions,
                                      int32_t iSides) {
  WithCallPath(
      "WriteTableHeader(KmIO_File*, const DataExportOptions*)", kClassName,
      [&] {
        const kmSession& session = Session();
        kmExportLine line(RequireExportOptions(pOptions, kClassName));
        line.AddByVarHeaderCells(session, iSides);
        const kmModelSelection selection = session.Get<kmModelSelection>();
        const char* const* pTitles;
        static const char* const kPermTitles[] = {"Test #",
                                                  "Null Hypothesis",
                                                  "Alt Hypothesis",
                                                  "Selected Hypothesis",
                                                  "Numerator DF",
                                                  "Denominator DF",
                                                  "# of Permutations",
                                                  "P-Value",
                                                  "Significance level",
                                                  nullptr};
        static const char* const kCriterionTitles[] = {
            "Model", "# Kinkmarks", "# Observations", "# Parameters",
            "D.F.",  "SSE",         nullptr};
        pTitles = bPermutationSelection_ ? kPermTitles : kCriterionTitles;
        for (; *pTitles != nullptr; ++pTitles) line.AddHeaderCell(*pTitles);
        if (!bPermutationSelection_) {
          line.AddHeaderCell(CriterionTitle(selection));
          if (selection == kmModelSelection::kDataDependent) {
            line.AddHeaderCell("BIC3");
          }
        }
        line.Write(pFile);
      });
}

void kmTextPermTest::WriteTablePermTest(KmIO_File* pFile, int32_t iEntry,
                                        const kmCalcData* pRecord,
                                        int32_t iTest,
                                        const DataExportOptions* pOptions) {
  WithCallPath(
      "WriteTablePermTest(KmIO_File*,int,const kmFTest&,int, const "
      "DataExportOptions*)",
      kClassName, [&] {
        const kmSession& session = Session();
        const kmFTest& test = pRecord->GetFTest(iTest);
        const bool bHidden =
            IsModelMADWDExcluded(
                session, *pRecord,
                ModelIndexOfKinkmarks(session, test.uNullKinkmarks)) ||
            IsModelMADWDExcluded(
                session, *pRecord,
                ModelIndexOfKinkmarks(session, test.uAltKinkmarks));
        kmExportLine line(RequireExportOptions(pOptions, kClassName));
        line.AddByVarCells(session,
                           EntryByVarCodes(*Handler().GetCombos(), iEntry));
        line.AddPrinted("%d", iTest);
        line.AddPrinted("%d", test.uNullKinkmarks);
        line.AddPrinted("%d", test.uAltKinkmarks);
        if (bHidden) {
          line.AddNotAvailable(6);
        } else {
          line.AddPrinted("%d", test.GetSelectedHypothesis());
          line.AddPrinted("%4d", test.lNumeratorDF);
          line.AddPrinted("%4d", test.lDenominatorDF);
          line.AddPrinted("%4d", test.lNumPermutations);
          AddPaddedReal(line, test.dPermPValue);
          AddPaddedReal(line, test.dAlpha);
        }
        line.Write(pFile);
      });
}

void kmTextPermTest::WriteTableBIC(KmIO_File* pFile, int32_t iEntry,
                                   const kmCalcData* pRecord, int32_t iModel,
                                   const DataExportOptions* pOptions) {
  WithCallPath(
      "WriteTableBIC(KmIO_File *, int, const kmTable&, int, const "
      "DataExportOptions*)",
      kClassName, [&] {
        const kmSession& session = Session();
        const kmTable& model = pRecord->GetModel(iModel);
        const bool bHidden = IsModelMADWDExcluded(session, *pRecord, iModel);
        const bool bDataDependent =
            session.Get<kmModelSelection>() == kmModelSelection::kDataDependent;
        kmExportLine line(RequireExportOptions(pOptions, kClassName));
        line.AddByVarCells(session,
                           EntryByVarCodes(*Handler().GetCombos(), iEntry));
        line.AddPrinted("%d", iModel + 1);
        line.AddPrinted("%d", bHidden
                                  ? session.GetInt(kmOptMinKinkmarks) + iModel
                                  : model.GetNumKinkmarks());
        line.AddPrinted("%d", model.GetNObs());
        if (bHidden) {
          line.AddNotAvailable(bDataDependent ? 5 : 4);
        } else {
          line.AddPrinted("%d", model.GetNParm());
          line.AddPrinted("%d", model.GetDF());
          AddPaddedReal(line, model.GetSSE());
          // An undefined criterion (too few observations) is a missing
          // cell, not "inf".
          auto addCriterion = [&](double dValue) {
            if (std::isfinite(dValue)) {
              AddPaddedReal(line, dValue);
            } else {
              line.AddMissing();
            }
          };
          addCriterion(model.GetBIC());
          if (bDataDependent) addCriterion(model.GetBIC3());
        }
        line.Write(pFile);
      });
}
