// Broken inputs run through the command line, one fixture folder each: every
// run ends cleanly, with the error file, its message on standard error and
// status 2, or, where only some cohorts are at fault, with a completed run
// (status 0) that leaves those cohorts out, names them and their reasons on
// standard error and keeps the reasons in the results file. No run leaves a
// results file that reads as complete.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "tests/e2e/E2eRun.h"
#include "tests/test_util/TestUtil.h"

namespace {

namespace fs = std::filesystem;

struct BadCase {
  const char* sCase;     // fixture folder (with the files of "common")
  const char* sMessage;  // part of the error file's message; nullptr: the
                         // run completes without the faulty cohort
  const char* sSource;   // the error file's source module; for a completed
                         // run, the cohort's reason in the results file
  bool bMessageFirst = false;  // the message begins with sMessage
  int iLimited = 0;            // a resource (RLIMIT_...) limited to iLimit
  unsigned long long iLimit = 0;
};

const char kMissingValue[] =
    "Kinkmark cannot process records with missing dependent variable values.";
const char kUnsorted[] =
    "Kinkmark encountered a problem with your Independent Variable.  Possible "
    "causes include your Independent Variable not being sorted";
const char kNotSession[] = "Error:  This file is not a valid Kinkmark file.";
const char kNoRecords[] = "holds no data records";
const char kLeftOut[] =
    "  A missing value is written as an empty field, the delimiters around "
    "it kept, or as the missing character \".\"; a field may not be left "
    "out.";

const BadCase kCases[] = {
    // The data file's records.
    {"bad_fewfields",
     "Data file \"data.csv\", line 31: the record has 3 fields, but the "
     "session reads column 4 (the variable Standard Error).",
     "kmCohortManager"},
    {"bad_nonnumeric", nullptr, kMissingValue},
    {"bad_tworefused", nullptr, kMissingValue},
    {"bad_allrefused", "2 of 2 cohorts could not be fitted", "main"},
    {"bad_emptyvalue", nullptr, kMissingValue},
    {"bad_emptyerror", nullptr, "with missing weight values."},
    {"bad_negativerate", nullptr, "rate and is negative."},
    {"bad_zeroerror", nullptr, "with weight variable <= 0."},
    {"bad_negativecount", nullptr, "and is negative."},
    // Fault: a population of 0 or less in one cohort ended the whole run.
    {"bad_negativepopulation", nullptr,
     "Data file \"data.csv\", line 6, column 6: the population is "
     "\"-2000000\"; a population must be a number greater than 0."},
    {"bad_zeropopulation", nullptr,
     "Error in data file.  Population <= 0.  Cohort Index = 0 (record 6, "
     "column 6)"},
    {"bad_unsorted", kUnsorted, "kmCalculator"},
    {"bad_repeated", nullptr,
     "where two or more independent variable values are equal."},
    // Fault: a year that is no number ended the whole run, where a blank
    // year keeps only its cohort from being fitted.
    {"bad_badyear", nullptr,
     "Data file \"data.csv\", line 6, column 2: the independent value "
     "\"abc\" is not a number."},
    // Fault: a code its format does not list stopped the run naming no line.
    {"bad_badcode",
     "Data file \"data.csv\", line 49, column 1: \"3\" is an invalid code for "
     "the Site by variable.  You must redefine "
     "the Site variable format.",
     "kmCohortManager"},
    // Cohorts too short for the smallest model, each method's spacing, and
    // a jump location outside a cohort's values or not given at all.
    {"bad_hudsonshort", nullptr, "Minimum observations required: 6."},
    // Fault: a cohort of 2 years passed the check and ended the whole run
    // when the standard errors of its line were computed.
    {"bad_twoobservations", nullptr, "Minimum observations required: 3."},
    {"bad_shortcohort", nullptr,
     "the cohort's 5 observations allow at most 0 kinkmarks, fewer than "
     "\"minimum kinkmarks\" (1)."},
    {"bad_jumpoutside", nullptr,
     "The jump location 2010 does not lie strictly between the cohort's "
     "first and last independent values (2000 to 2010)"},
    {"bad_jumpnolocation", "2 of 2 cohorts could not be fitted", "main"},
    // Faults: age-adjusted records that the reader cut into the wrong
    // groups without a word, or refused naming another cohort.
    {"bad_adjustmentcode",
     "Data file \"agegroups.csv\", line 3, column 3: the adjustment variable "
     "Age holds the code \"2\", which is none of the 2 groups the session "
     "defines for it (0 = Young, 1 = Middle).",
     "main"},
    {"bad_agegroupsorder",
     "Cohort \"East\" could not be fitted (data file data.csv): Data file "
     "\"data.csv\", line 5: the year 2005 follows 2008 on line 4.  The records "
     "of an age-adjusted cohort must be sorted by the independent variable "
     "Year, the years in ascending order, with one record for every group of "
     "the adjustment variable Age in each year; within a year the groups may "
     "come in any order.",
     "main"},
    {"bad_locationbeyondfields",
     "Data file \"data.csv\", line 1: the record has 6 fields, but the "
     "session reads column 9 (the variable Crude Rate).",
     "kmCohortManager"},
    // The variance-covariance matrix of the error model: a size other than
    // the cohort's, a matrix that is not positive definite, and errors the
    // matrix would not be applied to.
    {"bad_varcovsize", nullptr,
     "The variance-covariance matrix file \"cov.txt\" holds a 24 x 24 "
     "matrix, but the cohort has 20 observations"},
    {"bad_varcovrank1",
     "The variance-covariance matrix file \"cov.txt\" is not positive "
     "definite: it is singular (rank 1 of 24)",
     "kmReadData"},
    {"bad_varcovzero",
     "The variance-covariance matrix file \"cov.txt\" is not positive "
     "definite: the variance of observation 7 is 0, not above 0.",
     "kmReadData"},
    {"bad_varcovar1",
     "The error model \"variance-covariance matrix from a file\" cannot be "
     "combined with \"autocorr errors\" (estimated)",
     "kmErrorModel"},
    // Fault: a session naming no matrix file was refused as "The selected
    // file:  does not exist.", with an empty name.
    {"bad_varcovnofile",
     "The error model \"variance-covariance matrix from a file\" needs the "
     "name of its matrix file, but the session names none (",
     "kmErrorModel"},
    {"bad_varcovhudsons",
     "The error model \"variance-covariance matrix from a file\" cannot be "
     "combined with \"method = hudsons\"",
     "kmErrorModel"},
    // The data file itself.
    {"bad_truncatedgzip",
     "Cannot read compressed file: data.csv.gz: unexpected end of file",
     "km_gzFile"},
    {"bad_corruptgzip", "Cannot read compressed file: data.csv.gz: invalid",
     "km_gzFile"},
    // Fault: a gzip file cut where its text ends just past 128 KiB read as
    // complete, and the run finished without the records after the cut.
    {"bad_gzipcutatbuffer",
     "Cannot read compressed file: data.csv.gz: unexpected end of file",
     "km_gzFile"},
    // Fault: a data file without line ends was read into memory until the
    // allocation failed.
    {"bad_nolineend",
     "Data file \"/dev/zero\" has no line end within 16777216 bytes at line "
     "1",
     "KmLineSource"},
    {"bad_emptydata", kNoRecords, "main"},
    {"bad_blankdata", kNoRecords, "main"},
    // Fault: the refusal gave no reason.
    {"bad_datadirectory",
     "Unable to open data file \"data.csv\" for reading: Is a directory.",
     "kmCohortManager"},
    {"bad_missingdata",
     "names a file that does not exist (relative names are read from the "
     "folder \"",
     "ReadRunFile()"},
    // A run file that cannot be read still has its error file: its name
    // follows the run file's. Fault: status 3 and no error file.
    {"bad_runfilenul", "/run.ini\" is damaged: line 3 holds a NUL byte.",
     "KmLineSource"},
    {"bad_runfilecr",
     "/run.ini\" has lines that end in carriage returns alone (from line 1)",
     "KmLineSource"},
    // Option files.
    {"bad_unknownrunoption",
     "The file \"options.ini\", line 3: \"colour\" is not a valid Session "
     "Option; use \"model\", \"minimum kinkmarks\", ",
     "ValidateRunOptions()"},
    // Fault: a value outside a key's words was refused without them.
    {"bad_badrunvalue",
     "The file \"options.ini\", line 2: \"cubic\" is not a valid value for "
     "the \"model\" Session Option; use \"ln\" or \"linear\".\nThe file "
     "\"options.ini\", line 3: "
     "\"1.5\" is not a valid value for the \"apc alpha level\" Session "
     "Option (the number 1.5); use a level above 0 and below 1.\nThe file "
     "\"options.ini\", line 4: \"many\" is not a valid value for the \"num "
     "permutations\" Session Option (not a number); use 1 to 100000.\n",
     "ValidateRunOptions()"},
    {"bad_norunsection",
     "Missing [Session Options] in Options file: options.ini",
     "ValidateRunOptions()"},
    // Faults: a header with two blanks inside was missing, naming no line;
    // a key with a tab before its "=" was another key, ignored in silence.
    {"bad_runsectionblanks",
     "Missing [Session Options] in Options file: options.ini; it has the "
     "section header line 2 \"[Session  Options]\"",
     "ValidateRunOptions()"},
    // Fault: so were the run file's, the session file's and the
    // dictionary's headers; the run file was read as a session file.
    {"bad_runfileheaderblanks",
     "The file \"run.ini\" has no [Kinkmark Input Files]; it has the section "
     "header line 2 \"[Kinkmark\tInput Files]\"",
     "ValidateRunFile()"},
    {"bad_sessionheaderblanks",
     "has no [Kinkmark Session Parameters]; it has the section header line 6",
     "ValidateSessionParameters()"},
    {"bad_dicheaderblanks",
     "has no [Export Options]; it has the section header line 4",
     "ValidateDictionarySections()"},
    {"bad_tabkeytwice",
     "The file \"options.ini\" gives the key \"model\" twice with "
     "different values: line 3 \"model\t= linear\" and line 4",
     "ValidateRunOptions()"},
    {"bad_unknownexportoption",
     "The file \"export.ini\", line 2: \"export pdf\" is not a valid Export "
     "Option; use \"models\", ",
     "ValidateExportOptions()"},
    {"bad_badexportvalue",
     "The file \"export.ini\", line 2: \"pipe\" is not a valid value for "
     "the \"field delimiter\" Export Option; use \"tab\", \"comma\" or "
     "\"semi-colon\".\nThe file \"export.ini\", line "
     "3: \"high\" is not a valid value for the \"apc precision\" Export "
     "Option (not a number); use 0 to 17.\n",
     "ValidateExportOptions()"},
    {"bad_runoptionranges",
     "line 3: \"100\" is not a valid value for the \"maximum kinkmarks\" "
     "Session Option (the number 100); use 0 to 9, or -1.\nThe file "
     "\"options.ini\", line 4: \"1000\" is not a valid value for the \"num "
     "obs between\" Session Option (the number 1000); use 0 to 20.\nThe file "
     "\"options.ini\", line 5: \"2147483647\" is not a valid value for the "
     "\"number of resamples\" Session Option (the number 2147483647); use 2 "
     "to 100000.\nThe file \"options.ini\", line 6: \"-3\" is not a valid "
     "value for the \"num cores\" Session Option (the number -3); use 0 to "
     "9999.\nThe file \"options.ini\", line 7: \"0\" is not a valid value "
     "for the \"apc alpha level\" Session Option (the number 0); use a level "
     "above 0 and below 1.\nThe file \"options.ini\", line 8: \"0\" is not a "
     "valid value for the \"num permutations\" Session Option (the number "
     "0); use 1 to 100000.\n",
     "ValidateRunOptions()"},
    {"bad_exportranges",
     "\"2000000000\" is not a valid value for the \"p-value precision\" "
     "Export Option (the number 2000000000); use 0 to 17.\naapc start range2 "
     "found but no corresponding End "
     "Range found: the Export Options need \"aapc end range2\" as well.\n",
     "ValidateExportOptions()"},
    // Option combinations no fit serves, refused before any fit. Fault:
    // each ran to status 0 with figures it never computed, or stopped every
    // cohort with a message about something else.
    {"bad_jumphudsons",
     "\"jump model = true\" and \"comparability ratio = true\" cannot be "
     "combined with \"method = hudsons\": Hudson's method fits no jump "
     "model.  Use \"method = grid\".\n",
     "ValidateOptionCombinations()"},
    {"bad_jumpquantile",
     "\"jump model = true\" cannot be combined with \"ci method = empirical "
     "quantile method 1\": the resampled refits have no jump.",
     "ValidateOptionCombinations()"},
    {"bad_pairwisedds",
     "\"pairwise\" cannot be combined with \"model selection method = data "
     "dependent selection\": data-dependent selection chooses no joint model "
     "for a comparison.",
     "ValidateOptionCombinations()"},
    {"bad_delaysessionfile",
     "\"delay type = delay\" needs the delay-adjusted statistics that only "
     "a data dictionary holding them gives, and the session file \"se.ini\" "
     "has none.",
     "ValidateOptionCombinations()"},
    // Faults: a key given twice with different values was taken silently,
    // the last line winning (the standard errors fitted as rates).
    {"bad_keytwice",
     "The file \"session.ini\" gives the key \"crude rate location\" twice "
     "with different values: line 12 \"crude rate location = 3\" and line "
     "14 \"crude rate location = 4\".  Give each key once.\n",
     "ValidateSessionParameters()"},
    {"bad_runfilekeytwice",
     "The file \"run.ini\" gives the key \"Data File\" twice with different "
     "values: line 4 \"Data File = kinked.csv\" and line 6 \"Data File = "
     "kinked.csv.gz\".",
     "ValidateRunFile()"},
    // Faults: a section given twice had all its keys ignored, and the run
    // ended with status 0 (the output file, the standard errors and the
    // AAPC range dropped; the run options: the every-route test).
    {"bad_runfilesectiontwice",
     "The file \"run.ini\" gives the section \"[Kinkmark Input Files]\" "
     "twice: line 3 \"[Kinkmark Input Files]\" and line 7 \"[Kinkmark Input "
     "Files]\".  Give each section once.\n",
     "ValidateRunFile()"},
    {"bad_sessionsectiontwice",
     "The file \"session.ini\" gives the section \"[Kinkmark Session "
     "Parameters]\" twice: line 7 \"[Kinkmark Session Parameters]\" and line "
     "18 \"[kinkmark session parameters]\".",
     "ValidateSessionParameters()"},
    {"bad_exportsectiontwice",
     "The file \"export.ini\" gives the section \"[Export Options]\" twice: "
     "line 2 \"[Export Options]\" and line 5 \"[Export Options]\".",
     "ValidateExportOptions()"},
    {"bad_runfilekey",
     "\"Run Option File\" is not a valid Kinkmark Input Files key; use "
     "\"Session File\", \"Data File\", \"Run Options File\", \"Export "
     "Options File\" or \"Output File\".\n",
     "ValidateRunFile()"},
    {"bad_sessionwords",
     "The file \"session.ini\", line 3: \"Unx\" is not a valid value for "
     "the \"File format\" Session Parameter; use \"UNIX\" or \"DOS\".\nThe "
     "file \"session.ini\", line 4: \"coma\" is not a valid value for the "
     "\"Field delimiter\" Session Parameter; use \"tab\", \"space\", "
     "\"comma\" or \"semi-colon\".\nThe file \"session.ini\", line 6: "
     "\"ture\" is not a yes or no for \"Variable names included\"; write "
     "yes (\"yes\", \"true\" or the number 1) or no (\"no\", \"false\" or "
     "the number 0), in any case.\nThe file "
     "\"session.ini\", line 13: \"populaton location\" is not a valid "
     "Session Parameter; use \"independent variable location\", ",
     "ValidateSessionParameters()"},
    // Session files and results files.
    {"bad_nocountlocation",
     "The \"poisson rate\" het error model needs the count of each record, "
     "but the session parameter file gives no \"count location\".",
     "kmSession"},
    {"bad_noindependentlocation",
     "Every record needs its independent variable, but the session parameter "
     "file gives no \"independent variable location\".",
     "kmSession"},
    {"bad_nostandarderrorlocation",
     "The \"standard error\" het error model needs the standard error of "
     "each record, but the session parameter file gives no \"standard error "
     "location\".",
     "kmSession"},
    {"bad_nodependentlocation",
     "Every record needs the value to be fitted, but the session parameter "
     "file gives none of \"dependent variable location\", \"crude rate "
     "location\", \"age-adjusted rate location\" and \"count location\".",
     "kmSession"},
    // Faults: a year format's value that is no whole number was refused
    // naming neither file nor line; a label that is no number named the
    // file by its full path, not as the run file names it.
    {"bad_yeartotal",
     "Session file \"session.ini\", line 23 of [Format=Year]: \"Total\" is "
     "not a valid long",
     "KmConvertValue()"},
    {"bad_yearlabel",
     "Session file \"session.ini\", line 21: the label \"Mid\" of the "
     "independent value 2001 in [Format=Year] is not a number",
     "kmSession"},
    // Faults: a dictionary's year label 2012.5 was refused as no number
    // after unrelated advice; labels -15.5 ... -0.5 stopped the run naming
    // nothing.
    {"bad_dicyearfraction",
     "Session file \"session.dic\", line 46: the label \"2012.5\" of the "
     "independent value 2012 in [Format=Year] is a number but not a whole "
     "one",
     "kmSession", true},
    {"bad_dicyearhalves",
     "Session file \"session.dic\", line 38: the label \"-15.5\" of the "
     "independent value 2005 in [Format=Year] is a number but not a whole "
     "one",
     "kmSession", true},
    {"bad_nodatafileoptions", "Section \"[Datafile Options]\" not found in",
     "KMUserParamsDict"},
    {"bad_garbagekms", kNotSession, "kmSession.cpp"},
    {"bad_truncatedkms", kNotSession, "kmSession.cpp"},
    {"bad_garbagekmo", kNotSession, "kmSession.cpp"},
    {"bad_truncatedkmo",
     "This KMO is either corrupt or not compatible with this version of "
     "Kinkmark.",
     "kmCalcHandler"},
    // Fault: "Resource temporarily unavailable", with nothing on the threads
    // or the limit (as under ulimit -v, where one worker runs).
    {"bad_threadstack",
     "The run could not start its worker threads (Resource temporarily "
     "unavailable): each thread reserves its stack, 268435456 MB (ulimit -s), "
     "and room for its memory.  Set \"num cores = 1\" in the run options "
     "file, or change those limits.",
     "thread_pool", false, RLIMIT_STACK, 1ULL << 48},
};

const std::string kDashes(32, '-');

// A results file left by a failed run must not read as a finished one.
void ExpectNoCompleteResults(const km_test::ScratchDir& dir) {
  if (!fs::exists(dir.File("out.kmo"))) return;
  km_test::WriteAll(dir.File("check.ini"),
                    "[Kinkmark Input Files]\nData File = out.kmo\n");
  const auto check = km_e2e::RunKinkmark(dir, "check.ini");
  EXPECT_EQ(check.iStatus, 2);
  ASSERT_TRUE(fs::exists(dir.File("check.ErrorFile.txt"))) << check.sConsole;
  // The refusal must say why: a file of an earlier version it is not.
  EXPECT_NE(km_test::ReadAll(dir.File("check.ErrorFile.txt"))
                .find("The run that wrote it did not finish"),
            std::string::npos)
      << km_test::ReadAll(dir.File("check.ErrorFile.txt"));
}

void ExpectErrorFile(const km_test::ScratchDir& dir, const BadCase& c,
                     const km_e2e::RunResult& result) {
  EXPECT_NE(result.sConsole.find("\n\nrun.ErrorFile.txt\n\n"),
            std::string::npos)
      << result.sConsole;
  EXPECT_EQ(result.sConsole.find("has finished running"), std::string::npos);
  EXPECT_EQ(result.iStatus, 2);
  EXPECT_NE(result.sConsole.find("Error: "), std::string::npos);
  // A message that ends in "$" ends the error file's message.
  std::string sWanted = c.sMessage;
  const bool bAtEnd = sWanted.back() == '$';
  if (bAtEnd) sWanted.pop_back();
  EXPECT_NE(result.sConsole.find(sWanted), std::string::npos);
  const std::string sError = km_test::ReadAll(dir.File("run.ErrorFile.txt"));
  const std::string sHead = "Error Message\n" + kDashes + "\n";
  ASSERT_EQ(sError.rfind(sHead, 0), 0u) << sError;
  std::string sMessage =
      sError.substr(sHead.size(), sError.find("\n\nCall Path") - sHead.size());
  if (bAtEnd) sMessage += "$";
  EXPECT_NE(sMessage.find(c.sMessage), std::string::npos) << sMessage;
  EXPECT_TRUE(!c.bMessageFirst || sMessage.rfind(c.sMessage, 0) == 0);
  EXPECT_NE(sError.find("Source Module\n" + kDashes + "\n" + c.sSource + "\n"),
            std::string::npos)
      << sError;
  EXPECT_EQ(sError.find('\0'), std::string::npos);
  EXPECT_FALSE(fs::exists(dir.File("out.RunSummary.txt")));
  ExpectNoCompleteResults(dir);
}

// A cohort that fails its checks is left out; the run completes and the
// results file keeps the reason.
void ExpectCohortLeftOut(const km_test::ScratchDir& dir, const BadCase& c,
                         const km_e2e::RunResult& result) {
  EXPECT_NE(result.sConsole.find("out.kmo has finished running.\n"),
            std::string::npos)
      << result.sConsole;
  EXPECT_FALSE(fs::exists(dir.File("run.ErrorFile.txt")));
  EXPECT_EQ(result.iStatus, 0);
  EXPECT_NE(result.sConsole.find(
                "Cohort \"East\" could not be fitted (data file data.csv): "),
            std::string::npos)
      << result.sConsole;
  EXPECT_NE(result.sConsole.find(" cohorts could not be fitted\n"),
            std::string::npos);
  EXPECT_NE(km_test::ReadAll(dir.File("out.kmo")).find(c.sSource),
            std::string::npos);
  const std::string sFinal =
      km_test::ReadAll(dir.File("out.finalselectedmodelexport.txt"));
  EXPECT_EQ(sFinal.find("East"), std::string::npos) << sFinal;
  EXPECT_NE(sFinal.find("West"), std::string::npos) << sFinal;
  // Fault: each criterion export gave it a row of numbers never computed.
  for (const char* s : {"bic", "bic3", "mbic", "wbic", "wbicalt"}) {
    const std::string sPath = dir.File(std::string("out.") + s + "export.txt");
    if (!fs::exists(sPath)) continue;
    EXPECT_EQ(km_test::ReadAll(sPath).find("\nEast"), std::string::npos) << s;
  }
}

// Runs the fixture folder sCase, with the files of "common", in dir; with
// iLimited, under that resource limited to iLimit (RunKinkmarkUnderLimit).
km_e2e::RunResult RunFixture(const km_test::ScratchDir& dir, const char* sCase,
                             const char* sRunFile = "run.ini", int iLimited = 0,
                             unsigned long long iLimit = 0) {
  km_e2e::CopyFixtureFolder("common", dir);
  km_e2e::CopyFixtureFolder(sCase, dir);
  return iLimited == 0
             ? km_e2e::RunKinkmark(dir, sRunFile)
             : km_e2e::RunKinkmarkUnderLimit(dir, sRunFile, iLimited, iLimit);
}

TEST(BadInput, EveryBrokenInputEndsCleanly) {
  for (const BadCase& c : kCases) {
    SCOPED_TRACE(c.sCase);
    km_test::ScratchDir dir;
    const auto result =
        RunFixture(dir, c.sCase, "run.ini", c.iLimited, c.iLimit);
    EXPECT_FALSE(km_e2e::HasSanitizerReport(result.sConsole))
        << result.sConsole;
    if (c.sMessage != nullptr) {
      ExpectErrorFile(dir, c, result);
    } else {
      ExpectCohortLeftOut(dir, c, result);
    }
  }
}

// What a completed run says on standard error about its cohorts: one line
// per cohort it could not fit, with its labels and reason, the count, and a
// note for a cohort whose zero counts were fitted as 0.5; the same for the
// pairwise comparisons it could not compute.
TEST(BadInput, CompletedRunsNameTheCohortsTheyCouldNotFit) {
  const struct {
    const char* sCase;
    std::vector<std::string> lines;
    const char* sRunFile = "run.ini";
  } cases[] = {
      {"bad_tworefused",
       {"Cohort \"East\" could not be fitted (data file data.csv): " +
            std::string(kMissingValue) +
            "  Kinkmark will not analyze by-groups that have this error. "
            "(record 6, column 3)  Data file \"data.csv\", line 6, column 3: "
            "\"abc\" is not a number.\n",
        "Cohort \"South\" could not be fitted (data file data.csv): "
        "Kinkmark cannot process records with weight variable <= 0.  "
        "Kinkmark will not analyze by-groups that have this error. (record "
        "11, column 4)\n",
        "2 of 6 cohorts could not be fitted\n"}},
      {"bad_fewobservations",
       {"Cohort \"North\" could not be fitted (data file data.csv): Too few "
        "observations to fit the specified model. Minimum observations "
        "required: 8. Lower \"minimum kinkmarks\", \"min obs end\" or \"min "
        "obs between\" in the run options, otherwise Kinkmark will not "
        "process this cohort.\n",
        "1 of 3 cohorts could not be fitted\n"}},
      // Fault: a clustered cohort too short for the clustering's kinkmarks
      // ended the run where its placeholder record was built.
      {"bad_clusteringshort",
       {"Cohort \"East\" could not be fitted (data file short.csv): Too few "
        "observations to fit the specified model. Minimum observations "
        "required: 5. A clustering run fits every cohort with the saved "
        "session's \"maximum kinkmarks\" of 1, and the cohort's 4 years hold "
        "at most 0 with \"min obs end\" and \"min obs between\"; run "
        "options would turn the clustering off.  Cluster with a session saved "
        "by a run whose \"maximum kinkmarks\" is at most 0,",
        "1 of 2 cohorts could not be fitted\n"}},
      // Fault: a clustering run gave the group a rate share of 0.
      {"bad_clusteringzeropopulation",
       {"Cohort \"East\" could not be fitted (data file data.csv): Data file "
        "\"data.csv\", line 5, column 5: the population of the group 1 = "
        "Middle of Age is 0 in the year 2006",
        "1 of 2 cohorts could not be fitted\n"}},
      // Fault: a code of population 0 refused its cohort where the
      // clustering merges it into a group whose population is above 0
      // (West); a merged group of population 0 (East) forms no rate.
      {"bad_clusteringmergedpopulation",
       {"Cohort \"East\" could not be fitted (data file data.csv): Data file "
        "\"data.csv\", line 4, column 5: the groups 0 = Young, 1 = Middle of "
        "Age, which the clustering merges into one, have a population of 0 "
        "in the year 2006; a merged group needs a population greater than 0.",
        "1 of 2 cohorts could not be fitted\n"}},
      // Fault: a count whose rate's variance leaves the range of numbers
      // ended the whole run with a matrix library's index error.
      {"bad_clusteringzeropopulation",
       {"Cohort \"East\" could not be fitted (data file tinycount.csv): One "
        "or more count values were beyond the numbers a double holds. (record "
        "5, column 4)  Data "
        "file \"tinycount.csv\", line 5, column 4: the count \"1e-320\" is "
        "a number beyond those a double holds",
        "1 of 2 cohorts could not be fitted\n"},
       "tinycount.ini"},
      // Faults: a clustered cohort with a code its format does not list, or
      // without a group in a year (named by verification), ended the whole
      // run, the second naming no cohort, file or line.
      {"bad_clusteringmergedpopulation",
       {"Cohort \"East\" could not be fitted (data file refused.csv): Data "
        "file \"refused.csv\", line 7, column 3: the adjustment variable Age "
        "holds the code \"7\"",
        "1 of 2 cohorts could not be fitted\n"},
       "refused.ini"},
      // Fault: suggested options that cannot help a 2-year cohort.
      {"bad_twoobservations",
       {"Minimum observations required: 3. A cohort needs at least 3 "
        "observations whatever the run options, otherwise Kinkmark will not "
        "process this cohort.\n"}},
      {"bad_zerocount",
       {"Note: cohort \"East\" was fitted: There are records with a value of "
        "zero for count.  0.5 will be added to each zero count value. "
        "(record 6, column 5)\n"}},
      // Faults: a proportion of 1 (standard error 0) ended the whole run; a
      // zero numerator was fitted as 0.5 without the note.
      {"bad_proportionone",
       {"Cohort \"East\" could not be fitted (data file data.csv): The "
        "standard error is zero when the numerator equals the denominator."}},
      {"bad_zeronumerator",
       {"Note: cohort \"East\" was fitted: There are records with a value of "
        "zero for count.  0.5 will be added to each zero count value."}},
      // A cohort fitted with fewer kinkmarks than asked for, as its length
      // allows, was not named.
      {"bad_hudsonshort",
       {"Note: cohort \"West\" was fitted with at most 2 kinkmarks, not the 3 "
        "of \"maximum kinkmarks\": its observations allow no more with \"min "
        "obs end\" and \"min obs between\".\n"}},
      // Fault: a comparison that could not be computed left no trace
      // outside the results file.
      {"pairwise_differentyears",
       {"Comparison of cohorts \"Male, North\" and \"Male, South\" could not "
        "be computed (data file rates.csv): The comparison cohorts do not "
        "have the same independent values.\n",
        "1 of 2 comparisons could not be computed\n"}},
      // A run none of whose comparisons could be computed still keeps its
      // cohorts' results.
      {"bad_pairwiseyears",
       {"Comparison of cohorts \"East\" and \"West\" could not be computed "
        "(data file data.csv): The comparison cohorts do not have the same "
        "independent values.\n",
        "1 of 1 comparisons could not be computed\n"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sCase);
    km_test::ScratchDir dir;
    const auto result = RunFixture(dir, c.sCase, c.sRunFile);
    EXPECT_FALSE(km_e2e::HasSanitizerReport(result.sConsole))
        << result.sConsole;
    EXPECT_EQ(result.iStatus, 0) << result.sConsole;
    EXPECT_NE(result.sConsole.find("out.kmo has finished running.\n"),
              std::string::npos);
    for (const std::string& sLine : c.lines) {
      EXPECT_NE(result.sConsole.find(sLine), std::string::npos)
          << sLine << "\n"
          << result.sConsole;
    }
    EXPECT_EQ(result.sConsole.find("Cohort \"West\""), std::string::npos);
  }
}

// Data files made from the fixture kinked.csv (two cohorts, East and West,
// 2000 to 2023) by one edit, run with one session of "common": each run is
// refused with a message that names the file, the line and the column, or
// completes with the expected text in one of its files.
struct DataCase {
  const char* sName;
  const char* sSession;   // session file of "common"
  const char* sFind;      // every occurrence is replaced (a leading "^":
                          // at the start of a line); nullptr: sReplace
  const char* sReplace;   // is put in front of the data
  const char* sDataFile;  // the run file's "Data File"
  const char* sMessage;   // part of the error message; nullptr: completes
  const char* sSource;    // the error file's source, or the file to search
                          // (nullptr: the console)
  const char* sExpect;    // for a completed run, text of that file
  const char* sExportOptions = nullptr;   // an export options file's text
  const char* sThenFind = nullptr;        // a second edit, made after the
  const char* sThenReplace = nullptr;     // first one
  const char* sRunOptions = nullptr;      // the run options file's text
  const char* sFrom = "kinked.csv";       // the fixture the data are made of
  const char* sSessionFind = nullptr;     // an edit of the session file, as
  const char* sSessionReplace = nullptr;  // sFind and sReplace
};

// The session options of a disparity dictionary, then a year format
// labelling 2000 to 2022 with their mid-years and 2023 with sLast.
#define KM_DISPARITY_YEARS(sLast)                                          \
  "Type=Disparity\n[Format=Year]\n2000=2000.5\n2001=2001.5\n2002=2002.5\n" \
  "2003=2003.5\n2004=2004.5\n2005=2005.5\n2006=2006.5\n2007=2007.5\n"      \
  "2008=2008.5\n2009=2009.5\n2010=2010.5\n2011=2011.5\n2012=2012.5\n"      \
  "2013=2013.5\n2014=2014.5\n2015=2015.5\n2016=2016.5\n2017=2017.5\n"      \
  "2018=2018.5\n2019=2019.5\n2020=2020.5\n2021=2021.5\n2022=2022.5\n"      \
  "2023=" sLast "\n"

const char kAgeAdjusted[] =
    "[Session Options]\nmodel = ln\nmaximum kinkmarks = 1\n"
    "num permutations = 9\nrun type = calculated\n"
    "dependent variable type = age-adjusted rate\n";

const char kRunOptions[] =
    "[Session Options]\nmodel = ln\nmaximum kinkmarks = 1\n"
    "num permutations = 9\n";

const char kBothDelay[] =
    "[Session Options]\nmodel = ln\nmaximum kinkmarks = 1\n"
    "num permutations = 9\ndelay type = both\n";
// A jump model on 2000 to 2022 whose grid leaves one kinkmark location,
// 2011: the first year after the jump location, which ties with the step.
const char kTiedJump[] =
    "[Session Options]\nmodel = ln\nminimum kinkmarks = 1\nmaximum "
    "kinkmarks = 1\nnum permutations = 9\njump model = true\njump location "
    "= 2010.5\nmin obs end = 11\n";
// Run options of a comparability ratio whose jump is at the year given.
#define KM_RATIO_AT(year)                                               \
  "[Session Options]\nmodel = ln\nmaximum kinkmarks = 1\nnum "          \
  "permutations = 9\ncomparability ratio = true\njump location = " year \
  "\ncomparability ratio value = 0.9\ncr variance = 0.0001\n"
// Comparisons of the cohorts' ratio analyses, and the data export's layout
// of one model column whose rows show them.
#define KM_RATIO_PAIRWISE \
  KM_RATIO_AT("2010")     \
  "pairwise = parallel\npairwise number of permutations = 9\n"
const char kRatioPairwise[] = KM_RATIO_PAIRWISE;
// The same beside the cohorts' standard analyses.
const char kRatioStandardPairwise[] =
    KM_RATIO_PAIRWISE "include standard analysis = true\n";
const char kOneColumn[] =
    "[Export Options]\nall models in same column = true\noutput by-group "
    "headers = false\n";

// East's count of 2005, and the edit that makes it missing.
const char kCount2005[] = "1,2005,57.70,0.5770,1154,";
const char kNoCount2005[] = "1,2005,57.70,0.5770,.,";
// The edit of kinked.dic that leaves it counts and populations: its rates
// and standard errors become statistics no fit reads.
const char kRatesAsIntervals[] = "Var3Name=Crude Rate\nVar4Name=Standard Error";
const char kIntervals[] =
    "Var3Name=Lower Confidence Interval\nVar4Name=Upper Confidence Interval";
// Run options of rates computed from counts and populations.
#define KM_CALCULATED(type)                                       \
  "[Session Options]\nmaximum kinkmarks = 1\nnum permutations = " \
  "9\nrun type = calculated\ndependent variable type = " type "\n"

// 99,976 years of East in front of those of the fixture (2000 to 2023):
// one cohort of 100,000 observations.
const std::string kLongEast = [] {
  std::string s;
  for (int iYear = 2000 - 99976; iYear < 2000; ++iYear) {
    s += "1," + std::to_string(iYear) + ",50.00,0.5000,1000,2000000\n";
  }
  return s;
}();

const DataCase kDataCases[] = {
    // Fault: a session-parameter file of counts was summarised as an
    // age-adjusted rate.
    {"a session of counts", "poissoncount.ini", nullptr, "", "data.csv",
     nullptr, "out.RunSummary.txt",
     "Type                                          =  Count"},
    // Faults: counts fitted as Poisson rates were an age-adjusted rate
    // through a session-parameter file and a count through a dictionary; a
    // dependent variable of any type was a count.
    {"a session of counts fitted as rates", "counts.ini", nullptr, "",
     "data.csv", nullptr, "out.RunSummary.txt",
     "Type                                          =  Count"},
    {"a dependent variable of any type", "se.ini", nullptr, "", "data.csv",
     nullptr, "out.RunSummary.txt",
     "Type                                          =  Age-Adjusted Rate",
     nullptr, nullptr, nullptr, kRunOptions, "kinked.csv",
     "crude rate location", "dependent variable location"},
    // The type the run options give stands, the count's code 0 too.
    {"counts given another type", "poissoncount.ini", nullptr, "", "data.csv",
     nullptr, "out.RunSummary.txt",
     "Type                                          =  Age-Adjusted Rate",
     nullptr, nullptr, nullptr,
     "[Session Options]\nmodel = ln\nmaximum kinkmarks = 1\nnum "
     "permutations = 9\ndependent variable type = age-adjusted rate\n"},
    {"rates given the type of counts", "se.ini", nullptr, "", "data.csv",
     nullptr, "out.RunSummary.txt",
     "Type                                          =  Count", nullptr, nullptr,
     nullptr,
     "[Session Options]\nmodel = ln\nmaximum kinkmarks = 1\nnum "
     "permutations = 9\ndependent variable type = count\n"},
    {"header row not declared", "se.ini", nullptr,
     "Site,Year,Rate,StdErr,Count,Pop\n", "data.csv",
     "Data file \"data.csv\", line 1, column 2: the independent variable Year "
     "holds \"Year\", which is not a number.  The line looks like a header "
     "row of variable names: declare it with \"Variable names included = "
     "true\" in the session file, or remove it.",
     "kmCohortManager", nullptr},
    {"decimal comma", "se.ini", "1,2005,57.70,", "1,2005,\"57,7\",", "data.csv",
     "line 6, column 3: \"57,7\" is not a number: a comma in a number may "
     "only separate thousands",
     "kmCohortManager", nullptr},
    // Fault: a text code of a numeric by-variable named no line.
    {"text code of a numeric by-variable", "se.ini", "1,2005,", "x,2005,",
     "data.csv",
     "Data file \"data.csv\", line 6, column 1: \"x\" is an invalid code for "
     "the Site by variable: a code is a whole number",
     "kmCohortManager", nullptr},
    // Fault: advised to redefine a format, which cannot list such a text.
    {"code 0x1 of a numeric by-variable", "se.ini", "1,2005,", "0x1,2005,",
     "data.csv",
     "\"0x1\" is an invalid code for the Site by variable: a code is a whole "
     "number (1, 01, +1, 1.0 and 1e0 are all the code 1), as its format "
     "section lists them.  Write the code as a whole number.$",
     "kmCohortManager", nullptr},
    {"cohort in two blocks", "se.ini", "2,2023,",
     "1,2024,51.95,0.5195,1039,2000000\n2,2023,", "data.csv",
     "line 48: the cohort \"East\" comes back after its records ended at line "
     "24.  The data file must be sorted by the by variables",
     "kmCohortManager", nullptr},
    {"wrong field delimiter", "se.ini", ",", ";", "data.csv",
     "line 1: the record has 1 field, but the session reads column 4 (the "
     "variable Standard Error).  The line is split at its field delimiter, "
     "comma, but it splits into enough fields at semi-colon",
     "kmCohortManager", nullptr},
    // Fault: a decimal comma made the record one field longer, and its rate
    // and standard error were read from the shifted columns.
    {"decimal comma outside quotes", "se.ini", "1,2005,57.70,", "1,2005,57,70,",
     "data.csv",
     "Data file \"data.csv\", line 6: the record has 7 fields, but the first "
     "record (line 1) has 6, so its values would be read from the wrong "
     "columns.  Columns 3 and 4 (\"57\" and \"70\") look like one number "
     "split at its comma: write decimals with a point (57.70).",
     "kmCohortManager", nullptr},
    {"rate beyond the range of weights", "se.ini", "1,2005,57.70,",
     "1,2005,1e308,", "data.csv",
     "The dependent value 1e+308 of record 6 (cohort \"East\", data file "
     "\"data.csv\", line 6, column 3) is too large or too small to be "
     "weighted",
     "kmCalculator", nullptr},
    {"standard error beyond the range of weights", "se.ini", "0.5770,",
     "1.0e308,", "data.csv",
     "The standard error 1e+308 of record 6 (cohort \"East\", data file "
     "\"data.csv\", line 6, column 4) is too large or too small",
     "kmCalculator", nullptr},
    // Fault: these named the cohort by its index counted from 0, without
    // its labels or the line.
    {"year out of order", "se.ini", "2,2005,", "2,2003,", "data.csv",
     "Cohort Index = 1\nIn cohort \"West\", data file \"data.csv\", line 30, "
     "the independent value \"2003\" follows \"2004\" on line 29.  A "
     "cohort's records must stand together, sorted by the independent "
     "variable",
     "kmCalculator", nullptr},
    {"year beyond a double", "se.ini", "1,2004,", "1,1e400,", "data.csv",
     nullptr, nullptr,
     "Cohort \"East\" could not be fitted (data file data.csv): Kinkmark "
     "cannot process records with independent variable values beyond the "
     "numbers a double holds. (record 5, column 2)  Data file \"data.csv\", "
     "line 5, "
     "column 2: the independent value \"1e400\" is a number beyond those a "
     "double holds (sizes from 1e-308 to 1e308, and 0).\n"},
    // Fault: named only the spacing options, which cannot raise the cap of
    // the table for cohorts of different lengths (East 10 years, "3" 14).
    {"cohorts of different lengths capped by the table", "noformat.ini",
     "^1,201", "3,201", "data.csv", nullptr, nullptr,
     "Note: cohort \"1\" was fitted with at most 1 kinkmark, not the 3 of "
     "\"maximum kinkmarks\": its 10 observations allow at most 1 by the "
     "table of the most kinkmarks for a cohort's number of observations, "
     "which applies as the cohorts have different numbers of observations "
     "(12 observations allow 2); no run option raises it.\n",
     nullptr, "^1,202", "3,202",
     "[Session Options]\nmodel = ln\nmaximum kinkmarks = 3\n"
     "num permutations = 9\n"},
    {"session naming another data file", "datafile.ini", nullptr,
     "Site,Year,Rate,StdErr,Count,Pop\n", "data.csv",
     "holds \"Year\", which is not a number.  The line looks like a header "
     "row of variable names: declare it with \"Variable names included = "
     "true\" in the session file, or remove it.\nThe data file read is "
     "\"data.csv\", the run file's \"Data File\"; the session file names "
     "another, \"",
     "kmCohortManager", nullptr},
    // Fault: a fault no variable position causes blamed them too.
    {"record too long, session naming another data file", "datafile.ini",
     "1,2005,57.70,", "1,2005,57,70,", "data.csv",
     "record has 7 fields, but the first record (line 1) has 6, so its "
     "values would be read from the wrong columns.  Columns 3 and 4 (\"57\" "
     "and \"70\") look like one number split at its comma: write decimals "
     "with a point (57.70).$",
     "kmCohortManager", nullptr},
    // Fault: said the inner-most by-variable had one category when the
    // records were sorted by the by-variables in another order.
    {"pairwise over records sorted in another order", "region.ini", ",2000000",
     ",A", "data.csv",
     "You cannot test for pairwise differences when the inner-most by "
     "variable only has one category.\nThe inner-most by variable Site has "
     "more than one category, but the records are not sorted by the by "
     "variables in the session's order: sort the data file by Region, then "
     "Site,",
     "VerifyDelayRateCalc()", nullptr, nullptr, "1039,A", "1039,B",
     "[Session Options]\nmodel = ln\nmaximum kinkmarks = 1\nnum "
     "permutations = 9\npairwise = parallel\n"},
    {"results file of an export-only run missing", "se.ini", nullptr, "",
     "old.kmo", " old.kmo (\"Data File\") was not found.", "ReadRunFile()",
     nullptr},
    {"thousands commas in groups of three", "counts.ini",
     "1,2005,57.70,0.5770,1154,2000000",
     "1,2005,57.70,0.5770,\"1,154\",\"2,000,000\"", "data.csv", nullptr,
     "out.dataexport.txt", "\nEast;2005;57.70;"},
    // Fault: a comma of three decimals ("80,007") read as thousands, every
    // value 1000 times too large without a word.
    {"a thousands comma is named on standard error", "counts.ini",
     "1,2005,57.70,0.5770,1154,2000000",
     "1,2005,57.70,0.5770,\"1,154\",\"2,000,000\"", "data.csv", nullptr,
     nullptr,
     "Note: data file \"data.csv\", line 6, column 5: \"1,154\" was read as "
     "1154, a comma in a number being a thousands separator; 2 numbers were "
     "read so."},
    {"decimal commas in a semicolon-delimited file", "semicolon.ini", ",", ";",
     "data.csv",
     "Data file \"data.csv\", line 1, column 3: \"49,80\" holds a decimal "
     "comma: in a file whose fields are separated by semicolons a comma in a "
     "number is taken for a decimal comma, which is not read.  Write the "
     "number with a decimal point (\"49.80\")",
     "kmCohortManager", nullptr, nullptr, ".", ","},
    // Faults: "900.000" read as 900 without a word, every rate of its
    // cohort 1000 times too large; "2.400.000" refused as a population
    // that is no number above 0; then counts ("6.829") and populations,
    // whole numbers, read with their thousands point as a decimal point
    // after a note.
    {"a thousands point in a semicolon-delimited file is named",
     "semicolon.ini", ",", ";", "data.csv", nullptr, nullptr,
     "Note: data file \"data.csv\", line 6, column 3: \"57.700\" was read "
     "as 57.7, a point in a number being its decimal point; 1 number was read "
     "so.",
     nullptr, ";57.70;", ";57.700;"},
    {"a thousands point in a semicolon-delimited population",
     "semicoloncounts.ini", ",", ";", "data.csv",
     "Data file \"data.csv\", line 6, column 6: \"900.000\" in the "
     "population column (the variable Population Variable) is a whole number "
     "written with a thousands point: in a file whose fields are separated "
     "by semicolons a point in a number is its decimal point, so it would be "
     "read as 900.000, a thousandth of its value.  Write counts and "
     "populations without thousands separators (\"900000\").",
     "kmCohortManager", nullptr, nullptr, "1154;2000000", "1154;900.000"},
    {"a thousands point in a semicolon-delimited count", "semicoloncounts.ini",
     ",", ";", "data.csv",
     "Data file \"data.csv\", line 5, column 5: \"1.127\" in the count "
     "column (the variable Count Variable) is a whole number",
     "kmCohortManager", nullptr, nullptr, ";1127;", ";1.127;"},
    {"thousands points in a semicolon-delimited file", "semicoloncounts.ini",
     ",", ";", "data.csv",
     "Data file \"data.csv\", line 6, column 6: \"2.400.000\" is a number "
     "written with points between thousands",
     "kmCohortManager", nullptr, nullptr, "1154;2000000", "1154;2.400.000"},
    // Fault: the flag dropped the first record of a file without a header.
    {"variable names flag on a file without a header row", "names.ini", nullptr,
     "", "data.csv",
     "Data file \"data.csv\", line 1: the line is taken for the header row of "
     "variable names (\"Variable names included = true\"), but it holds "
     "numbers in every column the session reads as numbers (column 2 "
     "\"2000\", column 3 \"49.80\"): the line looks like data.",
     "kmCohortManager", nullptr},
    // Faults: the advice "Variable names included = false" made a header
    // whose names are numbers a cohort of one record; a header split at
    // the wrong delimiter was not said to be so.
    {"header row naming columns with numbers", "names.ini", nullptr,
     "Site,1991,2000,SE,Count,Pop\n", "data.csv",
     "(column 2 \"1991\", column 3 \"2000\"), and a name that is a number "
     "cannot be told from a value.  The line is the header row (column 1 "
     "holds \"Site\", the name of the by variable Site): give those columns "
     "names that are not numbers",
     "kmCohortManager", nullptr},
    {"header row split at another delimiter", "names.ini", nullptr,
     "Site;Year;Rate;SE;Count;Pop\n", "data.csv",
     "data.csv\".  The line is split at its field delimiter, comma, but it "
     "holds enough names split at semi-colon: is \"Field delimiter = "
     "semi-colon\" what the session file should say?",
     "KMUserParamsDict", nullptr},
    // Fault: "Stnd Pop variable offset is zero or less." alone, for counts
    // computed as the default type of dependent variable.
    {"calculated rates without a dependent variable type", "counts.ini",
     nullptr, "", "data.csv",
     "Stnd Pop variable offset is zero or less.  The run computes its "
     "dependent variable (\"run type = calculated\") and the dependent "
     "variable type in force is age-adjusted rate, the default",
     "ValidateCrudeOrAgeAdjRate", nullptr, nullptr, nullptr, nullptr,
     "[Session Options]\nmaximum kinkmarks = 1\nrun type = calculated\n"},
    // The same through a data dictionary of counts and populations. Fault:
    // its counts were fitted as computed rates of 0, with status 0.
    {"calculated rates of a dictionary's counts without a type", "kinked.dic",
     nullptr, "", "data.csv",
     "Stnd Pop variable offset is zero or less.  The run computes its "
     "dependent variable (\"run type = calculated\") and the dependent "
     "variable type in force is age-adjusted rate",
     "ValidateCrudeOrAgeAdjRate", nullptr, nullptr, nullptr, nullptr,
     "[Session Options]\nmaximum kinkmarks = 1\nrun type = calculated\n",
     "kinked.csv", kRatesAsIntervals, kIntervals},
    {"a dictionary's counts fitted as rates", "kinked.dic", nullptr, "",
     "data.csv", nullptr, "out.RunSummary.txt",
     "Type                                          =  Count", nullptr, nullptr,
     nullptr, kRunOptions, "kinked.csv", kRatesAsIntervals, kIntervals},
    // Fault: two spellings of one code merged unexplained.
    {"by-variable codes that differ in a blank", "se.ini", "^2,", "1 ,",
     "data.csv",
     "The by variable Site holds \"1\" on line 24 and \"1 \" on line 25, "
     "both read as \"1\": the blanks before and after a value",
     "kmCalculator", nullptr},
    // Fault: such a data file was read as one record, and such an options
    // file lost its section. Fault: the options file was named by its full
    // path, not as the run file names it.
    {"data file with line ends of carriage returns alone", "se.ini", "\n", "\r",
     "data.csv",
     "Data file \"data.csv\" has lines that end in carriage returns alone",
     "KmLineSource", nullptr},
    // Fault: it was said to end the file's lines.
    {"a carriage return inside a line", "se.ini", "1,2005,57.70,",
     "1,2005,57\r.70,", "data.csv",
     "Data file \"data.csv\", line 6 holds a carriage return inside it "
     "(character 10)",
     "KmLineSource", nullptr},
    // Fault: the run stopped with "Unable to open data file \"\" for
    // reading.". Each name is refused whatever the file holds, text here.
    {"a data file named .xls", "se.ini", nullptr, "", "data.xls",
     "Data file \"data.xls\" is a spreadsheet, which Kinkmark does not "
     "read: export it as delimited text",
     "ReadRunFile()", nullptr},
    {"a data file named .xlsx", "se.ini", nullptr, "", "data.xlsx",
     "Data file \"data.xlsx\" is a spreadsheet, which Kinkmark does not "
     "read: export it as delimited text",
     "ReadRunFile()", nullptr},
    // Faults: a text file so named was refused as a spreadsheet, though
    // the ending is compared with its case; a spreadsheet under another
    // name was said to be damaged by a NUL byte.
    {"delimited text named .XLS", "se.ini", nullptr, "", "rates.XLS", nullptr,
     "out.RunSummary.txt", "Data File = rates.XLS"},
    {"a compound document named .ods", "se.ini", nullptr,
     "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", "rates.ods",
     "Data file \"rates.ods\" is a spreadsheet, which Kinkmark does not "
     "read: export it as delimited text",
     "KmLineSource", nullptr},
    {"a zip container under a saved session", "varcov.kms", nullptr,
     "PK\x03\x04", "rates.xlsm",
     "Data file \"rates.xlsm\" is a spreadsheet, which Kinkmark does not "
     "read: export it as delimited text",
     "KmLineSource", nullptr},
    {"options file with line ends of carriage returns alone", "se.ini", nullptr,
     "", "data.csv",
     "The file \"options.ini\" has lines that end in carriage returns",
     "KmLineSource", nullptr, nullptr, nullptr, nullptr,
     "[Session Options]\rmodel = ln\r"},
    {"the run file's data file wins over the session's", "datafile.ini",
     nullptr, "", "data.csv", nullptr, "out.RunSummary.txt",
     "Data File = data.csv"},
    {"numeric by-variable without format", "noformat.ini", nullptr, "",
     "data.csv", nullptr, "out.finalselectedmodelexport.txt", "\n2;"},
    // Fault: a negative code was refused advising to redefine a format,
    // which cannot list it; a number that is no code was a text.
    {"a negative code with a format", "se.ini", "^2,", "-2,", "data.csv",
     "line 25, column 1: \"-2\" is an invalid code for the Site by variable. "
     " A format section lists codes of 0 and above",
     "kmCohortManager", nullptr},
    {"a code 2.5 without a format", "noformat.ini", "^2,2001,", "2.5,2001,",
     "data.csv",
     "line 26, column 1: the by variable Site holds \"2.5\", a "
     "number that is no code",
     "kmCohortManager", nullptr},
    // Fault: a format line -1=... was refused as "Invalid range" alone.
    {"a format line -1=South", "se.ini", nullptr, "", "data.csv",
     "Session file \"se.ini\", line 18 of [Format=Site]: Invalid range.  A "
     "line of a format section is a code, a list of codes or a range",
     "KmFormatLine", nullptr, nullptr, nullptr, nullptr, nullptr, "kinked.csv",
     "2=West", "2=West\n-1=South"},
    // Fault: an empty by-variable field was read as the code 0, and the
    // run labelled its cohort with another cohort's label.
    {"empty by-variable field", "se.ini", "^1,", ",", "data.csv",
     "Data file \"data.csv\", line 1, column 1: the by variable Site is "
     "empty.  Every record needs a value for each by variable.",
     "kmCohortManager", nullptr},
    // Fault: a quoted by-variable value was split at its comma, and every
    // export labelled its cohort "North.
    {"quoted by-variable text holding the delimiter", "region.ini", ",2000000",
     ",\"North, coast\"", "data.csv", nullptr, "out.dataexport.txt",
     "\n\"North, coast\",East,2005.000000000,57.700000000,",
     "[Export Options]\nfield delimiter = comma\nexport data = true\n"},
    // Faults: a doubled quote in a quoted text ("No""rth") became a bare
    // quote that joined the fields after it into one; a quote out of place
    // was refused as a record of too few fields.
    {"doubled quotes in quoted by-variable texts", "noformat.ini", "^1,",
     "\"No\"\"rth\",", "data.csv", nullptr, "out.finalselectedmodelexport.txt",
     "\n\"A\"\"B\";", nullptr, "^2,", "\"A\"\"B\","},
    {"quoted by-variable texts of quotes", "noformat.ini", "^1,",
     "\"A\"\"B\"\"C\",", "data.csv", nullptr,
     "out.finalselectedmodelexport.txt", "\n\"\"\"\";", nullptr, "^2,",
     "\"\"\"\","},
    {"a quote inside an unquoted field", "se.ini", "1,2005,57.70,",
     "1,2005,57\"70,", "data.csv",
     "Data file \"data.csv\", line 6, column 3: the double quote at "
     "character 10 of the line stands inside the field 57\"70, which does "
     "not begin with one.  A field that holds a double quote is enclosed in "
     "double quotes, each quote inside written twice (\"57\"\"70\").",
     "kmCohortManager", nullptr},
    {"a line break inside quotes", "region.ini",
     "1,2005,57.70,0.5770,1154,2000000\n",
     "1,2005,57.70,0.5770,1154,\"North\ncoast\"\n", "data.csv",
     "Data file \"data.csv\", line 6, column 6: the double quote at "
     "character 26 of the line opens a field that no quote closes on the "
     "line.  A field in double quotes ends with its closing quote on the "
     "same line (it cannot hold a line break)",
     "kmCohortManager", nullptr},
    {"text after a closing quote in a semicolon-delimited file",
     "semicolon.ini", ",", ";", "data.csv",
     "Data file \"data.csv\", line 6, column 3: the field \"57.70\"x has "
     "text after the double quote that closes it (character 15 of the "
     "line).",
     "kmCohortManager", nullptr, nullptr, ";57.70;", ";\"57.70\"x;"},
    {"a quote out of place in the header row", "names.ini", nullptr,
     "\"Site\",Ye\"ar,\"Rate\"\n", "data.csv",
     "\", line 1, column 2: the double quote at character 10 of the line "
     "stands inside the field Ye\"ar,",
     "KMUserParamsDict", nullptr},
    // Fault: a header row in quotes, as R's write.csv writes it, gave its
    // names with their quotes: the data export's title was """Year""".
    {"header row of names in quotes", "names.ini", nullptr,
     "\"Site\",\"Year\",\"Rate\",\"StdErr\",\"Count\",\"Pop\"\n", "data.csv",
     nullptr, "out.dataexport.txt", "\"Site\"\t\"Year\"\t",
     "[Export Options]\nexport data = true\n"},
    // Fault: a year that is no number on the first record stopped the whole
    // run, where on any later record it refuses only its cohort.
    {"aggregated year on the record after the header row", "names.ini", nullptr,
     "Site,Year,Rate,StdErr,Count,Pop\n", "data.csv", nullptr, nullptr,
     "line 2, column 2: the independent value \"1999-2000\" is not a number.",
     nullptr, "^1,2000,", "1,1999-2000,"},
    {"year NA on the first line of data", "se.ini", "^1,2000,", "1,NA,",
     "data.csv", nullptr, nullptr,
     "line 1, column 2: the independent value \"NA\" is not a number."},
    // Fault: numbers written in hexadecimal were read and fitted: a rate
    // of 0x10 as 16, a count of 0x482 as 1154.
    {"a hexadecimal rate", "se.ini", "1,2005,57.70,", "1,2005,0x10,",
     "data.csv", nullptr, nullptr,
     "(record 6, column 3)  Data file \"data.csv\", line 6, column 3: "
     "\"0x10\" is not a number.\n"},
    {"a rate beyond a double", "se.ini", "1,2005,57.70,", "1,2005,1e999,",
     "data.csv", nullptr, nullptr,
     "line 6, column 3: \"1e999\" is a number beyond those a double "
     "holds"},
    // Fault: a column no variable reads stopped the run for its comma.
    {"a decimal comma in a column no variable reads", "semicolon.ini", ",", ";",
     "data.csv", nullptr, "out.report.txt", "East;0;24;", nullptr,
     ";57.70;0.5770;", ";57.70;39,78;"},
    {"a run option given twice", "se.ini", nullptr, "", "data.csv",
     "\"options.ini\" gives the key \"maximum kinkmarks\" twice with "
     "different values: line 3 \"maximum kinkmarks = 1\" and line 5 "
     "\"Maximum Kinkmarks = 2\".  Give each key once.\n",
     "ValidateRunOptions()", nullptr, nullptr, nullptr, nullptr,
     "[Session Options]\nmodel = ln\nmaximum kinkmarks = 1\nmodel = ln\n"
     "Maximum Kinkmarks = 2\n"},
    {"an export option given twice", "se.ini", nullptr, "", "data.csv",
     "gives the key \"y values precision\" twice", "ValidateExportOptions()",
     nullptr,
     "[Export Options]\ny values precision = 2\ny values precision "
     "= 3\n"},
    {"a hexadecimal count", "counts.ini", kCount2005,
     "1,2005,57.70,0.5770,0x482,", "data.csv", nullptr, nullptr,
     "Data file \"data.csv\", line 6, column 5: \"0x482\" is not a number."},
    // Quoted labels put the label in quotes once, the delimiter inside.
    {"quoted label holding the delimiter", "region.ini", ",2000000",
     ",\"North, coast\"", "data.csv", nullptr, "out.dataexport.txt",
     "\n\"North, coast\",\"East\",2005.000000000,57.700000000,",
     "[Export Options]\nfield delimiter = comma\nexport data = true\n"
     "by-var format = quoted labels\n"},
    // A cohort refused for a missing count or rate. Faults: its observed
    // values were the counts (populations as standard errors), or missing
    // with one column per model, whose final-model cell read -1 and which
    // kept the cohort against "export bad cohorts = false".
    {"refused counts, one model column", "counts.ini", kCount2005, kNoCount2005,
     "data.csv", nullptr, "out.dataexport.txt",
     "\nEast\t2000.000000000\t49.800000000\t \t1.577973384\t",
     "[Export Options]\nall models in same column = true\n"},
    {"refused computed crude rates without export options", "counts.ini",
     kCount2005, kNoCount2005, "data.csv", nullptr, "out.dataexport.txt",
     "\nEast;2000;49.80;.;1.58;.\n", nullptr, nullptr, nullptr,
     KM_CALCULATED("crude rate")},
    {"refused proportions, one column per model", "counts.ini", kCount2005,
     kNoCount2005, "data.csv", nullptr, "out.dataexport.txt",
     "\nEast\t2000.000000000\t0.000498000\t \t",
     "[Export Options]\nmodels = all\n", nullptr, nullptr,
     KM_CALCULATED("proportion")},
    {"refused rates, one column per model", "se.ini", "1,2005,57.70,",
     "1,2005,.,", "data.csv", nullptr, "out.dataexport.txt",
     "\nEast\t2000.000000000\t49.800000000\t \t \t \t \t \r\n",
     "[Export Options]\nmodels = all\noutput by-group headers = false\n"
     "remove best fit flags = false\n"},
    {"refused cohort left out, one column per model", "se.ini", "1,2005,57.70,",
     "1,2005,.,", "data.csv", nullptr, "out.dataexport.txt",
     "\"Final Selected Model\"\r\nWest\t2000.",
     "[Export Options]\nmodels = all\noutput by-group headers = false\n"
     "remove best fit flags = false\nexport bad cohorts = false\n"},
    // Faults: AAPC ranges after a gap in their numbers were left out, a
    // range written backwards or beyond a cohort's years gave cells of the
    // missing-value text, all without a word.
    {"aapc ranges with a gap", "se.ini", nullptr, "", "data.csv",
     "\"aapc start range2\" is missing: the AAPC ranges are read from range "
     "1 up to the first start missing, so range 3 would be left out.",
     "ValidateExportOptions()", nullptr,
     "[Export Options]\naapc start range1 = 2001\naapc end range1 = 2005\n"
     "aapc start range3 = 2010\naapc end range3 = 2020\n"},
    {"aapc range written backwards", "se.ini", nullptr, "", "data.csv",
     "AAPC range 1 does not run forwards: \"aapc start range1\" (2015) is "
     "not before \"aapc end range1\" (2005).",
     "ValidateExportOptions()", nullptr,
     "[Export Options]\naapc start range1 = 2015\naapc end range1 = 2005\n"},
    {"aapc range beyond a cohort's years", "se.ini", "^2,20", "2,21",
     "data.csv", nullptr, nullptr,
     "Note: AAPC range 1 (2001 to 2005) could not be computed for cohort "
     "\"West\": it does not lie within its independent values, so its AAPC "
     "cells hold the missing-value text.\n",
     "[Export Options]\naapc start range1 = 2001\naapc end range1 = 2005\n"},
    // Fault: a year its format does not list in a cohort with a ratio
    // analysis ended the whole run, naming no line.
    {"a year its format does not list under a comparability ratio",
     "yearlabels.ini", "1,2006,", "1,2006.5,", "data.csv", nullptr, nullptr,
     "Data file \"data.csv\", line 7, column 2: the independent value "
     "\"2006.5\" is none of the values the format of Year lists.\n",
     nullptr, nullptr, nullptr, KM_RATIO_AT("2012")},
    // Fault: a ratio adjusting every value of a cohort was reported as if
    // it bridged a break in its data.
    {"comparability ratio beyond the cohort's years", "se.ini", nullptr, "",
     "data.csv", nullptr, nullptr,
     "Note: cohort \"East\" was fitted: The jump location 2030 is not before "
     "the cohort's last independent value (2000 to 2023): the comparability "
     "ratio adjusted every one of its values",
     nullptr, nullptr, nullptr, KM_RATIO_AT("2030")},
    {"comparability ratio before the cohort's years", "se.ini", nullptr, "",
     "data.csv", nullptr, nullptr,
     "Note: cohort \"West\" was fitted: The jump location 1999 lies before "
     "the cohort's first independent value (2000 to 2023): the comparability "
     "ratio adjusted none of its values",
     nullptr, nullptr, nullptr, KM_RATIO_AT("1999")},
    // Fault: a comparison's rows showed the values the ratio adjusted
    // beside the cohorts' rows of the same values divided back.
    {"comparison rows under a comparability ratio", "se.ini", nullptr, "",
     "data.csv", nullptr, "out.dataexport.txt",
     "\nParallel\tEast\tWest\tCohort One\t2000.000000000\t49.800000000\t"
     "50.941669109\t0.498000000\t",
     kOneColumn, nullptr, nullptr, kRatioPairwise},
    {"comparison not computed under a comparability ratio", "se.ini",
     "2,2023,112.85,1.1285,2257,2000000\n", "", "data.csv", nullptr,
     "out.dataexport.txt",
     "\nParallel\tEast\tWest\tCohort One\t2000.000000000\t49.800000000\t "
     "\t0.498000000\t",
     kOneColumn, nullptr, nullptr, kRatioPairwise},
    // Faults: comparisons of each cohort's jump and standard analyses were
    // refused, and read "East;East" in pairwise_comparison.txt; a ratio
    // analysis's rows in a comparison with its standard one showed the
    // values the ratio adjusted, not those its own rows show.
    {"pairwise beside two analyses of each cohort", "se.ini", nullptr, "",
     "data.csv", nullptr, "out.pairwise_comparison.txt",
     "\nEast / Jump;East / Standard;0 Kinkmark(s) ;", nullptr, nullptr, nullptr,
     "[Session Options]\nmodel = ln\nmaximum kinkmarks = 1\nnum "
     "permutations = 9\npairwise = parallel\njump model = true\njump "
     "location = 2011.5\ninclude standard analysis = true\npairwise number "
     "of permutations = 9\n"},
    {"comparison of a ratio and a standard analysis", "se.ini", nullptr, "",
     "data.csv", nullptr, "out.dataexport.txt",
     "\nParallel\tEast\tComparability\tEast\tStandard\tCohort "
     "One\t2000.000000000\t49.800000000\t61.608603103\t0.498000000\t0.178\t"
     "0\t0\r\n",
     kOneColumn, nullptr, nullptr, kRatioStandardPairwise},
    // Only the ratio analysis's side is shown through the ratio: the
    // standard side's rows at or before the jump location are its own.
    {"comparison of a ratio and a standard analysis, the standard side",
     "se.ini", nullptr, "", "data.csv", nullptr, "out.dataexport.txt",
     "\tCohort One\t2023.000000000\t51.950000000\t57.765135558\t0."
     "519500000\t0.178\t0\t0\r\nParallel\tEast\tComparability\tEast\t"
     "Standard\tCohort Two\t2000.000000000\t49.800000000\t57.185583339\t0."
     "498000000\t0.178\t0\t0\r\n",
     kOneColumn, nullptr, nullptr, kRatioStandardPairwise},
    // Where every placement holds a location that ties with the jump's step,
    // the search keeps them all: the kinkmark is fitted at 2011, not lost.
    {"jump model whose every kinkmark location ties with the step", "se.ini",
     "1,2023,51.95,0.5195,1039,2000000\n", "", "data.csv", nullptr,
     "out.report.txt",
     "\nEast;1;23;5;18;1.797535;0.099863;Uncorrelated;1;2011;", nullptr,
     "2,2023,112.85,1.1285,2257,2000000\n", "", kTiedJump},
    // Faults: a cohort whose first record was not of the first group, or
    // whose first two years were swapped, shifted the cohorts' sizes and
    // ended the whole run with a matrix error. Within a year the groups
    // may come in any order, the first year too: the rates are the same.
    {"first record of another group", "agegroups.ini",
     "2,2005,0,352,400000,500\n2,2005,1,585,300000,300\n",
     "2,2005,1,585,300000,300\n2,2005,0,352,400000,500\n", "data.csv", nullptr,
     "out.dataexport.txt",
     "\nWest;2005;190.10;206.48;0\nWest;2006;198.90;209.48;0\n", nullptr,
     nullptr, nullptr, kAgeAdjusted, "agegroups.csv"},
    {"groups in another order in a later year", "agegroups.ini",
     "1,2010,1,407,300000,300\n1,2010,2,303,100000,200\n",
     "1,2010,2,303,100000,200\n1,2010,1,407,300000,300\n", "data.csv", nullptr,
     "out.dataexport.txt", "\nEast;2010;131.80;131.87;0\n", nullptr, nullptr,
     nullptr, kAgeAdjusted, "agegroups.csv"},
    // Fault: cohorts whose first years differ were cut where the file's
    // first year and group came again and refused as by-variable trouble.
    {"a cohort starting a year later", "agegroups.ini",
     "2,2005,0,352,400000,500\n2,2005,1,585,300000,300\n"
     "2,2005,2,438,100000,200\n",
     "", "data.csv", nullptr, "out.dataexport.txt", "\nWest;2006;198.90;",
     nullptr, nullptr, nullptr, kAgeAdjusted, "agegroups.csv"},
    {"first two years swapped", "agegroups.ini",
     "2,2005,0,352,400000,500\n2,2005,1,585,300000,300\n"
     "2,2005,2,438,100000,200\n2,2006,0,368,400000,500\n"
     "2,2006,1,617,300000,300\n2,2006,2,456,100000,200\n",
     "2,2006,0,368,400000,500\n2,2006,1,617,300000,300\n"
     "2,2006,2,456,100000,200\n2,2005,0,352,400000,500\n"
     "2,2005,1,585,300000,300\n2,2005,2,438,100000,200\n",
     "data.csv", nullptr, nullptr,
     "Cohort \"West\" could not be fitted (data file data.csv): Data file "
     "\"data.csv\", line 52: the year 2005 follows 2006 on line 51.  The "
     "records of an age-adjusted cohort must be sorted by the independent "
     "variable Year, the years in ascending order,",
     nullptr, nullptr, nullptr, kAgeAdjusted, "agegroups.csv"},
    // Faults: a cohort too short for "delay type = both" ended the run
    // with "The cohort cannot be fitted with 0 to -1 kinkmarks."; a
    // missing delay-adjusted rate was named twice.
    {"cohort too short for both delay analyses", "delay.dic", nullptr,
     "3,2000,50.00,0.5000,52.50,0.5250\n3,2001,51.00,0.5100,53.55,0.5355\n",
     "data.csv", nullptr, nullptr,
     "Cohort \"North, Delay\" could not be fitted", nullptr, nullptr, nullptr,
     kBothDelay, "delay.csv"},
    {"missing delay-adjusted rate named once", "delay.dic", ",60.59,", ",.,",
     "data.csv", nullptr, nullptr,
     "Kinkmark will not analyze by-groups that have this error. (record 6, "
     "column 5)\n",
     nullptr, nullptr, nullptr, kBothDelay, "delay.csv"},
    // Faults: a year the format left out was still counted, and the fit got
    // an invented observation; an empty label stopped the run with a
    // sorting message. Age-adjusted cohorts counted every group's record of
    // such a year and the whole run failed.
    {"years their labels leave out", "yearlabels.ini", nullptr, "", "data.csv",
     nullptr, "out.report.txt", "East;0;22;"},
    {"a year left out by the format's first line", "firstyearout.ini", nullptr,
     "", "data.csv", nullptr, "out.report.txt", "East;0;23;"},
    {"age-adjusted years their labels leave out", "agelabels.ini", nullptr, "",
     "data.csv", nullptr, "out.report.txt", "East;0;14;", nullptr, nullptr,
     nullptr, kAgeAdjusted, "agegroups.csv"},
    // Faults: delay rates without their SEs were fitted with SSE 0; a delay
    // SE alone gave "Invalid position"; an unknown statistic name made the
    // year a by-variable; labels in the data were read as codes; titles came
    // from the session's data file, not the one read; of two faulty cohorts
    // the one whose worker failed first was named.
    {"delay rates without their SEs", "delay.dic", nullptr, "", "data.csv",
     "\"delay.dic\" holds no delay-adjusted standard error (\"Delay SE\")",
     "ValidateOptionCombinations()", nullptr, nullptr, nullptr, nullptr,
     kBothDelay, "delay.csv", "Var6Name=Delay SE\n", ""},
    {"delay SEs alone", "delay.dic", nullptr, "", "data.csv",
     "\"delay type = delay\" (the data dictionary's own when the run options",
     "ValidateOptionCombinations()", nullptr, nullptr, nullptr, nullptr,
     nullptr, "delay.csv", "Delay Crude Rate", "Rate Ratio"},
    // Fault: a dictionary without the observed rate stopped a run that fits
    // the non-delay copies ("both", its own choice beside a delay crude rate
    // with trend, or "non-delay") with "Invalid position for the response
    // variable".
    {"delay crude rate with trend alone", "delay.dic", nullptr, "", "data.csv",
     "\"delay type = both\" (the data dictionary's own when the run options",
     "ValidateOptionCombinations()", nullptr, nullptr, nullptr, nullptr,
     nullptr, "delay.csv",
     "=Crude Rate\nVar4Name=Standard Error\nVar5Name=Delay Crude Rate\n",
     "=Rate Ratio\nVar4Name=Standard Error\nVar5Name=Delay Crude Rate/Trend\n"},
    {"non-delay without the observed rate", "delay.dic", nullptr, "",
     "data.csv", "\"delay type = non-delay\" fits the observed rates",
     "ValidateOptionCombinations()", nullptr, nullptr, nullptr, nullptr,
     "[Session Options]\ndelay type = non-delay\n", "delay.csv",
     "=Crude Rate\n", "=Rate Ratio\n"},
    {"unknown statistic name", "delay.dic", nullptr, "", "data.csv",
     "\"Delay Standard Error\" (Var6Name) is not a statistic Kinkmark knows",
     "kmSession", nullptr, nullptr, nullptr, nullptr, kBothDelay, "delay.csv",
     "Delay SE", "Delay Standard Error"},
    // Faults: a disparity dictionary's year labelled x, inf or 1e999 was
    // refused as labels that do not rise; 1e300 ended the run with "Cannot
    // place kinkmark 0 in GridSearch.", naming nothing.
    {"a disparity year labelled x", "kinked.dic", nullptr, "", "data.csv",
     "Session file \"kinked.dic\", line 34: the label \"x\" of the "
     "independent value 2023 in [Format=Year] is not a number",
     "kmSession", nullptr, nullptr, nullptr, nullptr, nullptr, "kinked.csv",
     "Type=Rate\n", KM_DISPARITY_YEARS("x")},
    {"a disparity year labelled 1e999", "kinked.dic", nullptr, "", "data.csv",
     "line 34: the label \"1e999\" of the independent value 2023 in "
     "[Format=Year] is a number beyond those a double holds",
     "kmSession", nullptr, nullptr, nullptr, nullptr, nullptr, "kinked.csv",
     "Type=Rate\n", KM_DISPARITY_YEARS("1e999")},
    {"a disparity year labelled 1e300", "kinked.dic", nullptr, "", "data.csv",
     "line 34: the label \"1e300\" of the independent value 2023 in "
     "[Format=Year] is a number of a size above 1e15, and the fits cannot "
     "place kinkmarks",
     "kmSession", nullptr, nullptr, nullptr, nullptr, nullptr, "kinked.csv",
     "Type=Rate\n", KM_DISPARITY_YEARS("1e300")},
    {"labels in a dictionary's data", "kinked.dic", "^1,", "East,", "data.csv",
     "(Variable format=numeric)", "kmSession", nullptr, nullptr, "^2,", "West,",
     nullptr, "kinked.csv", "=numeric", "=labels"},
    {"titles from the data file read", "names.ini", nullptr,
     "Site,Year,Rate,StdErr,Count,Pop\n", "data.csv", nullptr,
     "out.dataexport.txt", "\"Site\"\t\"Year\"\t",
     "[Export Options]\nexport data = true\n", nullptr, nullptr, nullptr,
     "kinked.csv", "= data.csv", "= kinked.csv"},
    // Faults: a count whose rate leaves the range of numbers, or a rate the
    // comparability ratio takes out of it, ended the run naming no line.
    {"a count too small to form a rate", "counts.ini",
     "1,2005,57.70,0.5770,1154,", "1,2005,57.70,0.5770,1e-320,", "data.csv",
     nullptr, nullptr,
     "Data file \"data.csv\", line 6, column 5: \"1e-320\" is a number "
     "beyond those a double holds"},
    // Fault: a population out of range was named as its count.
    {"a population too large to weight its count", "counts.ini",
     "1,2005,57.70,0.5770,1154,2000000", "1,2005,57.70,0.5770,1154,1e300",
     "data.csv",
     "The population 1e+300 of record 6 (cohort \"East\", data file "
     "\"data.csv\", line 6, column 6) is too large or too small",
     "kmCalculator", nullptr},
    {"a rate the comparability ratio takes out of range", "se.ini",
     "1,2005,57.70,", "1,2005,1e-320,", "data.csv", nullptr, nullptr,
     "Data file \"data.csv\", line 6, column 3: \"1e-320\" is a number "
     "beyond those a double holds",
     nullptr, nullptr, nullptr, kRatioPairwise},
    {"two faulty cohorts, 1 worker", "se.ini", ",2005,", ",2003,", "data.csv",
     "In cohort \"East\"", "kmCalculator", nullptr, nullptr, nullptr, nullptr,
     "[Session Options]\nnum cores = 1\n"},
    {"two faulty cohorts, 8 workers", "se.ini", ",2005,", ",2003,", "data.csv",
     "In cohort \"East\"", "kmCalculator", nullptr, nullptr, nullptr, nullptr,
     "[Session Options]\nnum cores = 8\n"},
    // Fault: told only that it was not found.
    {"a data file named with a slash at its end", "se.ini", nullptr, "",
     "data.csv/",
     "data.csv/ (\"Data File\") was not found: \"data.csv\" is a file, and "
     "a name that ends in \"/\" names a folder; write it without the \"/\".",
     "ReadRunFile()", nullptr},
    // Fault: refused as needing "about 610396 MB" with nothing on what
    // drives it or what to lower.
    {"one cohort too long for the memory", "se.ini", nullptr, kLongEast.c_str(),
     "data.csv",
     "Its largest cohort has 100000 observations, and a cohort's memory "
     "grows as the square of its observations: the design and cross products "
     "of its 100000 candidate kinkmark locations take about 305185 MB and "
     "its weights (four 100000 x 100000 matrices) take about 305176 MB.",
     "kmCalculationHandler", nullptr},
};

// Every reason for refusing a cohort that the README lists, made from a
// fixture by one edit (or two): the run fits the other cohorts and names the
// refused one with its reason, which names the data file's line and column
// where it has them.
struct RefusalCase {
  const char* sName;
  const char* sSession;  // session file of "common"
  const char* sFind;     // the edit, as in DataCase
  const char* sReplace;
  const char* sMessage;  // part of the cohort's reason
  const char* sRunOptions = kRunOptions;
  const char* sFrom = "common/kinked.csv";  // fixture the data are made of
  const char* sCohort = "East";             // the refused cohort
  const char* sValue = nullptr;             // a cell the edit gives the cohort
  const char* sThenFind = nullptr;
  const char* sThenReplace = nullptr;
};

const char kAgeGroups[] = "common/agegroups.csv";

const RefusalCase kRefusals[] = {
    {"missing rate", "se.ini", "1,2005,57.70,", "1,2005,.,",
     "missing dependent variable values.  Kinkmark will not analyze "
     "by-groups that have this error. (record 6, column 3)\n"},
    // Faults: the rates "Capital" and "12abc" and the counts "1.234.567"
    // and "1.2.3" were shown as the numbers their texts begin with.
    {"text in the rate column", "se.ini", "1,2005,57.70,", "1,2005,Capital,",
     "this error. (record 6, column 3)  Data file \"data.csv\", line 6, "
     "column 3: \"Capital\" is not a number.\n",
     kRunOptions, "common/kinked.csv", "East", nullptr, "1,2006,60.05,",
     "1,2006,12abc,"},
    {"counts that only begin with a number", "counts.ini", "1154,",
     "1.234.567,", "line 6, column 5: \"1.234.567\" is not a number.",
     kRunOptions, "common/kinked.csv", "East", nullptr, "1201,", "1.2.3,"},
    // Fault: the count was also named as a crude rate of zero.
    {"population of 0", "counts.ini", "1154,2000000", "1154,0",
     "the population was zero.  No Crude Rate is calculated when this "
     "occurs. (record 6, column 6)\n",
     "[Session Options]\nmodel = ln\nmaximum kinkmarks = 1\nnum "
     "permutations = 9\nrun type = calculated\ndependent variable type = "
     "crude rate\n"},
    {"standard error of 0", "se.ini", "0.5770,", "0,",
     "weight variable <= 0.  Kinkmark will not analyze by-groups that have "
     "this error. (record 6, column 4)",
     kRunOptions, "common/kinked.csv", "East", "0.000000000"},
    {"computed proportion with a zero numerator", "counts.ini", "1154,", "0,",
     "The standard error cannot be computed when the numerator is zero.",
     KM_CALCULATED("proportion"), "common/kinked.csv", "East", "0.000000000"},
    // Fault: did not say which session key reads the column.
    {"text in the standard error column", "se.ini", "0.5770,", "n/a,",
     "weight variable is not numeric.  Kinkmark will not analyze by-groups "
     "that have this error. (record 6, column 4)  Data file \"data.csv\", "
     "line 6, column 4: \"n/a\" is not a number, and the session reads the "
     "standard errors from this column (\"standard error location\").\n"},
    // Faults: a standard error the fit cannot weight was reported as not
    // numeric, and shown as a number of 309 digits.
    {"standard error whose square overflows", "se.ini", "0.5770,", "1e308,",
     "weight variable is not numeric.  Kinkmark will not analyze by-groups "
     "that have this error. (record 6, column 4)  Data file \"data.csv\", "
     "line 6, column 4: the standard error 1e308 cannot be used: its square"},
    {"negative rate", "se.ini", "1,2005,57.70,", "1,2005,-57.70,",
     "is a Crude or Age-Adjusted rate and is negative."},
    // Fault: a session of counts called a negative count a rate.
    {"negative count", "poissoncount.ini", "1154,", "-1154,",
     "is a COUNT and is negative.  Kinkmark will not analyze by-groups that "
     "have this error. (record 6, column 5)"},
    {"population of 0", "counts.ini", "1154,2000000", "1154,0",
     "Data file \"data.csv\", line 6, column 6: the population is \"0\"; a "
     "population must be a number greater than 0."},
    {"repeated year", "se.ini", "1,2005,57.70,0.5770,1154,",
     "1,2004,56.35,0.5635,1127,",
     "where two or more independent variable values are equal.  Current "
     "Value: 2004.000000  Previous Value: 2004.000000 (record 6, column 2)"},
    // Fault: the data export showed a year NA as a row at year 0 with rate
    // and standard error 0.
    {"year NA", "se.ini", "1,2005,", "1,NA,",
     "line 6, column 2: the independent value \"NA\" is not a number."},
    {"missing year", "se.ini", "1,2005,", "1,.,",
     "line 6, column 2: the independent value is blank or missing."},
    {"too few observations", "se.ini", nullptr, "",
     "needs at least 3 observations whatever the run options", kRunOptions,
     "bad_twoobservations/data.csv"},
    // Age-adjusted rates. Faults: a year that lacks a group, has one twice
    // or stands out of order was shown with a rate mixed from two years,
    // and so was every year after it; a population of 0 was fitted as the
    // group's count; a missing standard population ended the run.
    {"years out of order", "agegroups.ini",
     "1,2005,2,334,100000,200\n1,2006,0,265,400000,500\n",
     "1,2006,0,265,400000,500\n1,2005,2,334,100000,200\n",
     "Data file \"data.csv\", line 4: the year 2005 follows 2006 on line 3.",
     kAgeAdjusted, kAgeGroups},
    {"age group missing in one year", "agegroups.ini",
     "2,2012,1,752,300000,300\n", "",
     "Data file \"data.csv\", lines 70 to 71: the year 2012 has records for 2 "
     "of the 3 groups of the adjustment variable Age; no record for 1 = "
     "Middle.",
     kAgeAdjusted, kAgeGroups, "West"},
    // The group's second record weighs 500, so a rate formed of the year's
    // three records would differ from the file's.
    {"age group twice in one year", "agegroups.ini", "1,2006,1,442,300000,300",
     "1,2006,0,442,300000,500",
     "Data file \"data.csv\", line 5: the group 0 = Young of Age comes a "
     "second time in the year 2006 (first on line 4).",
     kAgeAdjusted, kAgeGroups},
    {"age group the format does not list", "agegroups.ini", "1,2006,1,",
     "1,2006,7,",
     "Data file \"data.csv\", line 5, column 3: the adjustment variable Age "
     "holds the code \"7\"",
     kAgeAdjusted, kAgeGroups},
    {"standard population changed in one year", "agegroups.ini",
     "1,2010,2,303,100000,200", "1,2010,2,303,100000,99999",
     "Data file \"data.csv\", line 18, column 6: the standard population of "
     "the group 2 = Old of Age is 99999 in the year 2010, but 200 on line 3.",
     kAgeAdjusted, kAgeGroups, "East", "301.301570452"},
    {"missing count of an age group", "agegroups.ini", "1,2006,1,442,",
     "1,2006,1,.,", "There was one or more missing count values.", kAgeAdjusted,
     kAgeGroups},
    {"negative population of an age group", "agegroups.ini", ",442,300000,",
     ",442,-300000,", "There was one or more population values less than zero.",
     kAgeAdjusted, kAgeGroups},
    {"population of 0 in an age group", "agegroups.ini", ",442,300000,",
     ",442,0,",
     "Data file \"data.csv\", line 5, column 5: the population of the group "
     "1 = Middle of Age is 0 in the year 2006; a population must be a number "
     "greater than 0.",
     kAgeAdjusted, kAgeGroups},
    {"missing standard population", "agegroups.ini", ",442,300000,300",
     ",442,300000,.",
     "The standard population value read from the data line is missing.  "
     "Kinkmark cannot calculate age-adjusted rates for this cohort.  Data "
     "file \"data.csv\", line 5, column 6: the standard population of the "
     "group 1 = Middle of Age is missing in the year 2006.",
     kAgeAdjusted, kAgeGroups},
};
#undef KM_CALCULATED

// sText with every sFind replaced by sReplace (sFind nullptr: sReplace put
// in front; "^" in front of sFind: only where a line starts).
std::string Edited(std::string sText, const char* sFindText,
                   const char* sReplace) {
  if (sFindText == nullptr) return sReplace + sText;
  const bool bLineStart = sFindText[0] == '^';
  const std::string sFind(sFindText + (bLineStart ? 1 : 0));
  for (size_t i = sText.find(sFind); i != std::string::npos;
       i = sText.find(sFind, i + 1)) {
    if (bLineStart && i > 0 && sText[i - 1] != '\n') continue;
    sText.replace(i, sFind.size(), sReplace);
    i += std::strlen(sReplace) - 1;
  }
  return sText;
}

// Writes sData as data.csv (and as sDataFile when no file has that name
// and it names no results file), the run options (kRunOptions when nullptr)
// and the export options (none when nullptr) in dir, and runs the session
// file sSession of dir on the data file sDataFile.
km_e2e::RunResult RunData(const km_test::ScratchDir& dir,
                          const std::string& sSession, const std::string& sData,
                          const std::string& sDataFile, const char* sRunOptions,
                          const char* sExportOptions) {
  km_test::WriteAll(dir.File("data.csv"), sData);
  if (!fs::exists(dir.File(sDataFile)) &&
      fs::path(sDataFile).extension() != ".kmo") {
    km_test::WriteAll(dir.File(sDataFile), sData);
  }
  km_test::WriteAll(dir.File("options.ini"),
                    sRunOptions != nullptr ? sRunOptions : kRunOptions);
  std::string sRun = "[Kinkmark Input Files]\nSession File = " + sSession +
                     "\nData File = " + sDataFile +
                     "\nRun Options File = options.ini\nOutput File = "
                     "out.kmo\n";
  if (sExportOptions != nullptr) {
    km_test::WriteAll(dir.File("export.ini"), sExportOptions);
    sRun += "Export Options File = export.ini\n";
  }
  km_test::WriteAll(dir.File("run.ini"), sRun);
  return km_e2e::RunKinkmark(dir, "run.ini");
}

TEST(BadInput, DataFileFaultsAreNamedWhereTheyStand) {
  for (const DataCase& c : kDataCases) {
    SCOPED_TRACE(c.sName);
    km_test::ScratchDir dir;
    km_e2e::CopyFixtureFolder("common", dir);
    if (c.sSessionFind != nullptr) {
      km_test::WriteAll(dir.File(c.sSession),
                        Edited(km_test::ReadAll(dir.File(c.sSession)),
                               c.sSessionFind, c.sSessionReplace));
    }
    std::string sData =
        Edited(km_test::ReadAll(dir.File(c.sFrom)), c.sFind, c.sReplace);
    if (c.sThenFind != nullptr) {
      sData = Edited(sData, c.sThenFind, c.sThenReplace);
    }
    const auto result = RunData(dir, c.sSession, sData, c.sDataFile,
                                c.sRunOptions, c.sExportOptions);
    EXPECT_FALSE(km_e2e::HasSanitizerReport(result.sConsole))
        << result.sConsole;
    if (c.sMessage != nullptr) {
      ExpectErrorFile(dir, BadCase{c.sName, c.sMessage, c.sSource}, result);
      continue;
    }
    EXPECT_EQ(result.iStatus, 0) << result.sConsole;
    EXPECT_NE(result.sConsole.find("out.kmo has finished running.\n"),
              std::string::npos)
        << result.sConsole;
    const std::string sOut = c.sSource != nullptr
                                 ? km_test::ReadAll(dir.File(c.sSource))
                                 : result.sConsole;
    EXPECT_NE(sOut.find(c.sExpect), std::string::npos) << sOut;
  }
}

// Per row of cohort sCohort in the data export of dir: its independent
// value, observed value and standard error ("." without that column).
std::vector<std::vector<std::string>> CohortCells(
    const km_test::ScratchDir& dir, const std::string& sCohort) {
  std::vector<std::vector<std::string>> vRows;
  size_t iStdError = 0;
  for (const std::string& sLine :
       km_e2e::ReadLines(dir.File("out.dataexport.txt"))) {
    const std::vector<std::string> vCells = km_e2e::SplitCells(sLine, '\t');
    for (size_t i = 0; i < vCells.size() && iStdError == 0; ++i) {
      if (vCells[i] == "\"Standard Error\"") iStdError = i;
    }
    if (vCells[0] != sCohort) continue;
    vRows.push_back(
        {vCells[1], vCells[2], iStdError ? vCells[iStdError] : "."});
  }
  return vRows;
}

// A refused cohort keeps its rows in the data export in every layout, with
// the data's fields separated by commas, tabs or spaces, and each of its
// cells holds the file's own value read as a number (as a run of the
// unedited file shows it) or the missing-value text; no other export has a
// row of it.
TEST(BadInput, RefusedCohortsShowOnlyTheValuesTheFileHolds) {
  const char* const kLayouts[] = {
      "models = best fit\n", "models = all\nall models in same column = true\n",
      "models = all\nall models in same column = false\n"};
  const std::pair<const char*, char> kDelimiters[] = {
      {"comma", ','}, {"tab", '\t'}, {"space", ' '}};
  for (const RefusalCase& c : kRefusals) {
    SCOPED_TRACE(c.sName);
    const std::string sCohort = c.sCohort;
    auto Run = [&](const km_test::ScratchDir& dir, std::string sData,
                   const std::pair<const char*, char>& delimiter,
                   const char* sLayout) {
      km_e2e::CopyFixtureFolder("common", dir);
      const std::string sWord = std::string("delimiter = ") + delimiter.first;
      km_test::WriteAll(dir.File(c.sSession),
                        Edited(km_test::ReadAll(dir.File(c.sSession)),
                               "delimiter = comma", sWord.c_str()));
      std::replace(sData.begin(), sData.end(), ',', delimiter.second);
      return RunData(dir, c.sSession, sData, "data.csv", c.sRunOptions,
                     (std::string("[Export Options]\nline delimiter = unix\n"
                                  "missing character = period\n") +
                      sLayout)
                         .c_str());
    };
    const std::string sFile =
        km_test::ReadAll(std::string(KM_E2E_FIXTURES) + "/" + c.sFrom);
    std::map<std::string, std::vector<std::string>> reference;
    km_test::ScratchDir first;
    Run(first, sFile, kDelimiters[0], kLayouts[0]);
    for (const auto& vRow : CohortCells(first, sCohort)) {
      if (vRow[1] != ".") reference.emplace(vRow[0], vRow);
    }
    std::string sData = Edited(sFile, c.sFind, c.sReplace);
    if (c.sThenFind) sData = Edited(sData, c.sThenFind, c.sThenReplace);
    for (const auto& delimiter : kDelimiters) {
      for (const char* sLayout : kLayouts) {
        SCOPED_TRACE(std::string(delimiter.first) + ", " + sLayout);
        km_test::ScratchDir dir;
        const auto result = Run(dir, sData, delimiter, sLayout);
        EXPECT_EQ(result.iStatus, 0);
        for (const std::string& sText :
             {"Cohort \"" + sCohort +
                  "\" could not be fitted (data file "
                  "data.csv): ",
              std::string(c.sMessage)}) {
          EXPECT_NE(result.sConsole.find(sText), std::string::npos)
              << result.sConsole;
        }
        for (const auto& entry : fs::directory_iterator(dir.Path())) {
          const std::string sName = entry.path().filename().string();
          if (sName.find("export.txt") == std::string::npos ||
              sName == "out.dataexport.txt") {
            continue;
          }
          EXPECT_EQ(("\n" + km_test::ReadAll(entry.path().string()))
                        .find("\n" + sCohort + "\t"),
                    std::string::npos)
              << sName;
        }
        const auto vRows = CohortCells(dir, sCohort);
        EXPECT_FALSE(vRows.empty());
        for (const auto& vRow : vRows) {
          const auto it = reference.find(vRow[0]);
          for (size_t k = 1; k < vRow.size(); ++k) {
            EXPECT_TRUE(vRow[k] == "." ||
                        (it != reference.end() && it->second[k] == vRow[k]) ||
                        (c.sValue != nullptr && vRow[k] == c.sValue))
                << vRow[0] << " shows " << vRow[k];
          }
        }
      }
    }
  }
}

// The cells of one line of a comma-delimited export as a CSV reader splits
// it: a quoted cell runs to its closing quote, "" inside standing for ".
std::vector<std::string> CsvCells(const std::string& sLine) {
  std::vector<std::string> vCells(1);
  bool bQuoted = false;
  for (size_t i = 0; i < sLine.size(); ++i) {
    const char c = sLine[i];
    if (c == '"' && bQuoted && i + 1 < sLine.size() && sLine[i + 1] == '"') {
      vCells.back() += c;
      ++i;
    } else if (c == '"') {
      bQuoted = !bQuoted;
    } else if (c == ',' && !bQuoted) {
      vCells.emplace_back();
    } else {
      vCells.back() += c;
    }
  }
  return vCells;
}

// Fault: the label "North ""A"", x" of a CSV writer was read as North; a
// label holding a quote was written with its quotes single, so no export
// split into its cells.
TEST(BadInput, LabelsWithAQuoteAndTheDelimiterReadBackFromEveryExport) {
  for (const char* sFormat : {"unquoted labels", "quoted labels"}) {
    SCOPED_TRACE(sFormat);
    km_test::ScratchDir dir;
    km_e2e::CopyFixtureFolder("common", dir);
    km_test::WriteAll(dir.File("data.csv"),
                      Edited(km_test::ReadAll(dir.File("kinked.csv")),
                             ",2000000", ",\"North \"\"A\"\", x\""));
    km_test::WriteAll(dir.File("options.ini"), kRunOptions);
    km_test::WriteAll(dir.File("export.ini"),
                      std::string("[Export Options]\nfield delimiter = "
                                  "comma\nline delimiter = unix\nby-var "
                                  "format = ") +
                          sFormat + "\n");
    km_test::WriteAll(dir.File("run.ini"),
                      "[Kinkmark Input Files]\nSession File = region.ini\n"
                      "Data File = data.csv\nRun Options File = options.ini\n"
                      "Export Options File = export.ini\nOutput File = "
                      "out.kmo\n");
    const auto result = km_e2e::RunKinkmark(dir, "run.ini");
    ASSERT_EQ(result.iStatus, 0) << result.sConsole;
    int nFiles = 0;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
      const std::string sName = entry.path().filename().string();
      if (sName.find("export.txt") == std::string::npos) continue;
      SCOPED_TRACE(sName);
      ++nFiles;
      const std::vector<std::string> vLines =
          km_test::Lines(km_test::ReadAll(entry.path().string()));
      for (size_t i = 1; i < vLines.size() && !vLines[i].empty(); ++i) {
        if (vLines[i] == vLines[0]) continue;  // a block's own header
        const std::vector<std::string> vCells = CsvCells(vLines[i]);
        EXPECT_EQ(vCells.size(), CsvCells(vLines[0]).size()) << vLines[i];
        EXPECT_EQ(vCells[0], "North \"A\", x");
      }
    }
    EXPECT_GE(nFiles, 4);
  }
}

// ---- One data set through every input route ----
// Rates with standard errors (East and West, 2000 to 2011) and counts,
// populations and a standard population over two age groups (2000 to 2007)
// are written in each route a user can take: a session-parameter file or a
// data dictionary; comma, tab, space or semicolon; a header row or not;
// gzip or not; by-variable cells in quotes or not; by-variables as text or
// as codes with a format; "\n" or "\r\n". Each variation of the data must
// give the same analysis, or the same refusal, in every route, and a run's
// saved session the same analysis again.
enum class DataSet { kRates, kAgeAdjusted };
using Rows = std::vector<std::vector<std::string>>;

struct Route {
  bool bDictionary, bHeader, bGzip, bQuoted, bCodes, bCrlf;
  char cDelimiter;
};

// What a variation asks of its runs beyond its data's edit.
enum : unsigned {
  kRouteDecides = 1,      // the year label leaves its year out in a dictionary;
                          // a session-parameter file refuses it
  kCodesOnly = 2,         // a fault only codes can have
  kYearFormat = 4,        // a year format labels each year as itself (or as
                          // sYearLabel says)
  kAsUntouched = 8,       // the analysis is the untouched data's
  kNoAgeFormat = 16,      // the session gives Age no format
  kSpacedHeaders = 32,    // every section header is written with blanks
                          // inside its brackets and around '=', and a comment
  kNoRunType = 64,        // the run options leave out "run type = calculated"
  kTabbedKeys = 128,      // every key line is written with tabs around its '='
  kQuotedFormats = 256,   // every format header names its variable in quotes
  kSwitchesSpelt = 512,   // the session file's switches say yes as 1.0 and
                          // no as No
  kSwitchNeither = 1024,  // the header switch is "Y", neither yes nor no
  kNoMaximum = 2048,      // the run options leave out "maximum kinkmarks"
  kSpreadsheet = 4096,    // the data file begins as a zip container does
  kMaximumKept = 8192,    // the run options say "maximum kinkmarks = -1"
  kHudsons = 16384,       // the run options say "method = hudsons"
  kNoRunOptions = 32768,  // a dictionary's run names no run-options file
                          // (a session-parameter file's needs "run type")
  kWidthWording = 65536,  // a refusal naming the header row or the first
                          // record, and a comma file's split columns
  kConstantVariance = 131072,  // the run options leave out "het error"
  kClustered = 262144,         // the saved session, changed to cluster, is run
                               // too, and sExpect is what that run shows
  kCommaOnly = 524288,         // every route's delimiter is the comma
  kNamesEndInDelimiter = 1048576,  // the header row ends in a delimiter
};

struct Variation {
  const char* sName;
  DataSet data;
  void (*edit)(Rows&);  // the change to the data set; nullptr: none
  const char* sExpect;  // text the run shows (console or error file)
  int iStatus = 0;      // the run's exit status
  const char* sYearLabel = nullptr;  // label of the first, a middle and the
                                     // last year, which are left out
  unsigned flags = 0;                // the k... above
  // The year the other years' labels count from, text appended to the run
  // file and the run-options file, the Site and the Age formats' lines.
  int iYearCentre = 0;
  const char* sTail = "";
  const char* sSiteFormat = "1=East\n2=West\n";
  const char* sAgeFormat = "0=Young\n1=Old\n";
  const char* sYearFormat = nullptr;        // the Year format's lines, if given
  const char* sExpectWithHeader = nullptr;  // sExpect of the routes with a
                                            // header row, where it differs
};

// The row of sSite's year sYear (its first age group's).
std::vector<std::string>& Row(Rows& rows, const char* sSite,
                              const char* sYear) {
  for (auto& row : rows) {
    if (row[0] == sSite && row[1] == sYear) return row;
  }
  return rows.front();
}

// Writes sTo in column iColumn of sSite's rows (nullptr: every site's)
// where it holds sFrom.
void Rewrite(Rows& rows, size_t iColumn, const char* sSite, const char* sFrom,
             const char* sTo) {
  for (auto& row : rows) {
    if ((!sSite || row[0] == sSite) && row[iColumn] == sFrom)
      row[iColumn] = sTo;
  }
}

// Site codes 01 and +1 beside 1, and 02 for West's later years.
void SpellSiteCodes(Rows& r) {
  Row(r, "East", "2000")[0] = "01";
  Row(r, "East", "2005")[0] = "+1";
  for (auto& row : r)
    row[0] = row[0] == "West" && row[1] > "2005" ? "02" : row[0];
}

// Each age group's records in turn first in some years, the first years of
// both sites among them.
void ShuffleAges(Rows& r) {
  for (size_t i = 0; i + 1 < r.size(); i += 2) {
    if ((i / 2) % 3 != 1) std::swap(r[i], r[i + 1]);
  }
}

// Age codes 00, 01, +1 and 1.0 beside 0 and 1.
void SpellAgeCodes(Rows& r) {
  for (auto& row : r) {
    if (row[2] == "1" && row[1] > "2002") {
      row[2] = row[0] == "East" ? "01" : row[1] > "2005" ? "1.0" : "+1";
    }
  }
  Row(r, "East", "2000")[2] = "00";
}

// The two records (age groups) of iSite's year 2000 + y of the
// age-adjusted data set.
void AddAgeRows(Rows& rows, int iSite, int y) {
  for (int iAge = 0; iAge < 2; ++iAge) {
    const int iCount = 100 + 200 * iAge + 50 * iSite + 6 * y -
                       (y > 4 ? 9 * (y - 4) : 0) + (y * 3) % 4;
    rows.push_back({iSite == 0 ? "East" : "West", std::to_string(2000 + y),
                    std::to_string(iAge), std::to_string(iCount),
                    iAge ? "100000" : "400000", iAge ? "300" : "500"});
  }
}

// Age-adjusted data of East's years 2000 to 2000 + nEast - 1, then West's
// to 2000 + nWest - 1: a cohort's observations are its years, 2 records
// each.
template <int nEast, int nWest>
void AgeYears(Rows& rows) {
  rows.clear();
  for (int y = 0; y < nEast; ++y) AddAgeRows(rows, 0, y);
  for (int y = 0; y < nWest; ++y) AddAgeRows(rows, 1, y);
}

Rows MakeRows(DataSet data) {
  Rows rows;
  if (data == DataSet::kAgeAdjusted) {
    AgeYears<8, 8>(rows);
    return rows;
  }
  char sRate[32], sError[32];
  for (int iSite = 0; iSite < 2; ++iSite) {
    const char* sSite = iSite == 0 ? "East" : "West";
    for (int y = 0; y < 12; ++y) {
      const std::string sYear = std::to_string(2000 + y);
      const double dKink =
          iSite == 0 ? 2 * std::min(y, 6) - std::max(0, y - 6) : 1.5 * y;
      std::snprintf(sRate, sizeof(sRate), "%.2f",
                    40 + 10 * iSite + dKink + 0.1 * ((y * 7) % 5));
      std::snprintf(sError, sizeof(sError), "%.2f", 0.5 + 0.01 * y);
      rows.push_back({sSite, sYear, sRate, sError});
    }
  }
  return rows;
}

// A refusal of a record's width: sExpect without a header row, and
// sExpectWithHeader with one, which shifts the lines and gives the width.
Variation WidthFault(const char* sName, void (*edit)(Rows&), unsigned flags,
                     const char* sExpect, const char* sExpectWithHeader) {
  Variation c{sName, DataSet::kRates, edit, sExpect};
  c.iStatus = 2;
  c.flags = flags | kWidthWording;
  c.sExpectWithHeader = sExpectWithHeader;
  return c;
}

// East's rate of 2005 written with a decimal comma, outside quotes.
void SplitRate(Rows& r) {
  std::vector<std::string>& row = Row(r, "East", "2005");
  row.insert(row.begin() + 2, "57");
  row[3] = "70";
}

// The refusal of SplitRate's record, after the line it is compared with.
#define KM_SPLIT_RATE_ADVICE                                           \
  " has 4, so its values would be read from the wrong columns.  "      \
  "Columns 3 and 4 (\"57\" and \"70\") look like one number split at " \
  "its comma: write decimals with a point (57.70)."
const char kSplitRate[] =
    "line 6: the record has 5 fields, but the first record "
    "(line 1)" KM_SPLIT_RATE_ADVICE;
const char kSplitRateWithHeader[] =
    "line 7: the record has 5 fields, but the header row of variable names "
    "(line 1)" KM_SPLIT_RATE_ADVICE;
// The refusal of a first record of 5 fields among records of 4.
const char kFirstOfFive[] =
    "line 1: the record has 5 fields, but the records at lines 2 and 3 have "
    "4, so its values would be read from the wrong columns.";
const char kFirstOfFiveWithHeader[] =
    "line 2: the record has 5 fields, but the header row of variable names "
    "(line 1) has 4, so its values would be read from the wrong columns.";

// Year formats: labels centred on 2005 with 2006 labelled -0; labels that
// fall from 6 to -5.
const char kCentredMinusZero[] =
    "2000=-5\n2001=-4\n2002=-3\n2003=-2\n2004=-1\n2005=0\n2006=-0\n2007=2\n"
    "2008=3\n2009=4\n2010=5\n2011=6\n";
// Centred labels written with a point or an exponent, and -0.0 beside 0.
const char kCentredSpelt[] =
    "2000=-0.5e1\n2001=-4.0\n2002=-3e0\n2003=-2.\n2004=-1.00\n2005=0.0\n"
    "2006=1e0\n2007=2.0\n2008=+3\n2009=4\n2010=5\n2011=6\n";
const char kCentredMinusZeroPoint[] =
    "2000=-5.0\n2001=-4\n2002=-3\n2003=-2\n2004=-1e0\n2005=0\n2006=-0.0\n"
    "2007=2\n2008=3\n2009=4\n2010=5\n2011=6\n";
const char kFallingLabels[] =
    "2000=6\n2001=5\n2002=4\n2003=3\n2004=2\n2005=1\n2006=0\n2007=-1\n"
    "2008=-2\n2009=-3\n2010=-4\n2011=-5\n";

const Variation kVariations[] = {
    {"the data as they are", DataSet::kRates, nullptr, "out.kmo has finished"},
    // Faults: a dictionary's label that left a year out dropped the last
    // year of every cohort as well; a label already marked not used was
    // refused; in a session-parameter file "-" gave a false sorting message.
    {"empty year labels", DataSet::kRates, nullptr, "has finished", 0, ""},
    {"years marked not used", DataSet::kRates, nullptr, "has finished", 0,
     "2000 (not used in calculations)"},
    {"years labelled -", DataSet::kRates, nullptr, "has finished", 0, "-",
     kRouteDecides},
    {"years labelled Total", DataSet::kRates, nullptr, "has finished", 0,
     "Total", kRouteDecides},
    // Faults: a record of fewer fields than the header row or the first
    // record was fitted, read from the wrong columns (the rate 40, the
    // standard error 0; the standard error 100000). Then a first record
    // unlike the records after it was not named: the second was refused,
    // with advice for it.
    WidthFault(
        "a first record split at its comma",
        [](Rows& r) {
          r[0] = {r[0][0], r[0][1], "40", "00", r[0][3]};
        },
        0, kFirstOfFive, kFirstOfFiveWithHeader),
    WidthFault(
        "a first record of a field more, a later record split",
        [](Rows& r) {
          r[0].push_back("7");
          SplitRate(r);
        },
        0, kFirstOfFive, kFirstOfFiveWithHeader),
    // Fault: a delimiter that ended the header row or the first record (or
    // every line) counted as a field, so that a record split at its comma
    // was fitted, read from the wrong columns (the rate 57, the standard
    // error 70), with status 0.
    WidthFault("a header row ending in a delimiter, a rate split at its comma",
               SplitRate, kCommaOnly | kNamesEndInDelimiter, kSplitRate,
               kSplitRateWithHeader),
    WidthFault(
        "a first record ending in a delimiter, a rate split at its comma",
        [](Rows& r) {
          r[0].push_back("");
          SplitRate(r);
        },
        kCommaOnly, kSplitRate, kSplitRateWithHeader),
    WidthFault(
        "every line ending in a delimiter, a rate split at its comma",
        [](Rows& r) {
          SplitRate(r);
          for (auto& row : r) row.push_back("");
        },
        kCommaOnly | kNamesEndInDelimiter, kSplitRate, kSplitRateWithHeader),
    {"every line ending in a delimiter", DataSet::kRates,
     [](Rows& r) {
       for (auto& row : r) row.push_back("");
     },
     "out.kmo has finished", 0, nullptr,
     kCommaOnly | kNamesEndInDelimiter | kAsUntouched},
    {"a rate left out before a column no variable reads", DataSet::kRates,
     [](Rows& r) {
       for (auto& row : r) row.push_back("100000");
       Row(r, "West", "2005").erase(Row(r, "West", "2005").begin() + 2);
     },
     kLeftOut, 2, nullptr, kWidthWording},
    {"a missing rate", DataSet::kRates,
     [](Rows& r) { Row(r, "East", "2005")[2] = "."; },
     "missing dependent variable values"},
    // Fault: a blank or missing year ended the whole run, naming no line.
    {"a blank year", DataSet::kRates,
     [](Rows& r) { Row(r, "East", "2005")[1] = ""; },
     "no independent variable.  Kinkmark will not analyze by-groups that "
     "have this error. (record 6, column 2)  Data file \""},
    {"a missing year", DataSet::kRates,
     [](Rows& r) { Row(r, "East", "2005")[1] = "."; },
     "no independent variable.  Kinkmark will not analyze by-groups that "
     "have this error. (record 6, column 2)  Data file \""},
    {"an unsorted year", DataSet::kRates,
     [](Rows& r) { std::swap(Row(r, "East", "2005"), Row(r, "East", "2006")); },
     kUnsorted, 2},
    {"a repeated year", DataSet::kRates,
     [](Rows& r) { Row(r, "East", "2006")[1] = "2005"; },
     "two or more independent variable values are equal."},
    {"a cohort of 2 years", DataSet::kRates, [](Rows& r) { r.resize(14); },
     "needs at least 3 observations whatever the run options"},
    // Fault: a code its format does not list stopped the run naming no line.
    {"a code with no label", DataSet::kRates,
     [](Rows& r) { Row(r, "West", "2000")[0] = "North"; },
     ", column 1: \"3\" is an invalid code for the Site by variable.", 2,
     nullptr, kCodesOnly},
    // Fault: a grand-total record was refused advising to redefine the
    // format, which would make the total a cohort.
    {"a grand-total record", DataSet::kRates,
     [](Rows& r) {
       r.push_back(r.back());
       r.back()[0] = "Total";
     },
     ", column 1: the by variable Site holds \"Total\", a total over its "
     "values, where its [Format=Site] section lists codes.  A grand-total "
     "record is no cohort: remove such records from the data file.",
     2, nullptr, kCodesOnly},
    // Fault: "01" or "+1" beside "1" split a cohort: a stop or a misfit.
    {"codes spelt 01, +1 and 02", DataSet::kRates, SpellSiteCodes,
     "out.kmo has finished", 0, nullptr, kCodesOnly | kAsUntouched},
    // Faults: without "maximum kinkmarks" a dictionary took its maximum
    // from a first cohort that ended where a code's text changed (0 for a
    // cohort of one record), and both routes from a first block whose years
    // the labels leave out; the fits were cut short in silence.
    {"codes spelt 1.0 and 1e0 without a maximum", DataSet::kRates,
     [](Rows& r) {
       r[0][0] = "1.0";
       r[1][0] = "1e0";
     },
     "Maximum Number of Kinkmarks                      =  2", 0, nullptr,
     kCodesOnly | kNoMaximum},
    {"a first site whose every year is left out, without a maximum",
     DataSet::kRates,
     [](Rows& r) {
       for (const char* sYear : {"2011", "2004", "2000"})
         r.insert(r.begin(), {"North", sYear, "40.00", "0.50"});
     },
     "Maximum Number of Kinkmarks                      =  1", 0,
     "2000 (not used in calculations)", kNoMaximum, 0, "",
     "1=East\n2=West\n3=North\n"},
    // Fault: a code written 1.0, 1e0, 1. or +01.00 stopped the run, advising
    // to redefine a format that lists 1; 1.5 was a text beside the codes.
    {"codes spelt 1.0, 1e0, 1. and +01.00", DataSet::kRates,
     [](Rows& r) {
       size_t i = 0;
       for (const char* s : {"1.0", "1e0", "1.", "+01.00"}) r[i++][0] = s;
       Row(r, "West", "2003")[0] = "2.0";
     },
     "out.kmo has finished", 0, nullptr, kCodesOnly | kAsUntouched},
    // Fault: a code was whole by its rounded double: this one was Site 1.
    {"a code 0.99999999999999999", DataSet::kRates,
     [](Rows& r) { Row(r, "East", "2005")[0] = "0.99999999999999999"; },
     ", column 1: the by variable Site holds \"0.99999999999999999\", a "
     "number that is no code",
     2, nullptr, kCodesOnly},
    {"a code 1.5", DataSet::kRates,
     [](Rows& r) { Row(r, "East", "2005")[0] = "1.5"; },
     ", column 1: the by variable Site holds \"1.5\", a number that is no "
     "code: a code is a whole number",
     2, nullptr, kCodesOnly},
    // Fault: a format line -0=... was refused as "Invalid range" alone.
    {"a format line -0=North", DataSet::kRates, nullptr,
     " of [Format=Site]: Invalid range.  A line of a format section is a "
     "code, a list of codes or a range of them",
     2, nullptr, kCodesOnly, 0, "", "1=East\n2=West\n-0=North\n"},
    // Fault: the second label of one code was dropped in silence.
    {"a code given twice in the format", DataSet::kRates, nullptr,
     "gives the value 1 twice in [Format=Site] with different labels: line ", 2,
     nullptr, kCodesOnly, 0, "", "1=East\n2=West\n01=North\n"},
    // Fault: a dictionary's section given twice was read in part.
    {"a format section given twice", DataSet::kRates, nullptr,
     "gives the section \"[Format=Site]\" twice: line ", 2, nullptr, kCodesOnly,
     0, "", "1=East\n2=West\n[Format=Site]\n3=North\n"},
    // Fault: a dictionary left every negative (centred) year out.
    {"centred years", DataSet::kRates, nullptr, "has finished", 0, nullptr, 0,
     2005},
    {"age-adjusted data as they are", DataSet::kAgeAdjusted, nullptr,
     "has finished"},
    // Faults: the dictionary stopped with "incompatible dimensions", or
    // refused the marked label for want of an adjustment variable.
    {"age-adjusted years labelled -", DataSet::kAgeAdjusted, nullptr,
     "has finished", 0, "-", kRouteDecides},
    {"age-adjusted years marked not used", DataSet::kAgeAdjusted, nullptr,
     "has finished", 0, "2000 (not used in calculations)"},
    {"age-adjusted centred years", DataSet::kAgeAdjusted, nullptr,
     "has finished", 0, nullptr, 0, 2003},
    // Faults: an age code spelt 00, 01 or +1 was no group of the session's
    // format: its cohort was refused, while a dictionary fitted it; 1.0
    // was no group in any route.
    {"age codes spelt 00, 01 and +1", DataSet::kAgeAdjusted, SpellAgeCodes,
     "has finished", 0, nullptr, kAsUntouched},
    // Fault: with no age format the run stopped, naming nothing, even on
    // untouched data; the groups are the codes in the data, by number.
    {"age codes spelt 00, 01 and +1 with no age format", DataSet::kAgeAdjusted,
     SpellAgeCodes, "has finished", 0, nullptr, kAsUntouched | kNoAgeFormat},
    // Fault: with no age format a year short of a group was not named.
    {"an age group missing in a year with no age format", DataSet::kAgeAdjusted,
     [](Rows& r) { r.erase(r.begin() + 7); },
     "the year 2003 has records for 1 of the 2 groups of the adjustment "
     "variable Age; no record for 1.  An age-adjusted rate",
     0, nullptr, kNoAgeFormat},
    // Fault: with no age format a cohort whose codes were not the first
    // year's (West's 0 and 2 where East has 0 and 1) was fitted.
    {"an age code the first year lacks with no age format",
     DataSet::kAgeAdjusted, [](Rows& r) { Rewrite(r, 2, "West", "1", "2"); },
     "the adjustment variable Age holds the code \"2\", which is none of the "
     "2 groups the records of the data's first year give it (0, 1).",
     0, nullptr, kNoAgeFormat},
    // Fault: a session-parameter file kept the age group 00 of its own,
    // which no record could have.
    {"an age code given twice in the format", DataSet::kAgeAdjusted, nullptr,
     "gives the value 0 twice in [Format=Age] with different labels: line ", 2,
     nullptr, 0, 0, "", "1=East\n2=West\n", "0=Young\n1=Old\n00=Extra\n"},
    {"age-adjusted missing count", DataSet::kAgeAdjusted,
     [](Rows& r) { Row(r, "East", "2003")[3] = "."; },
     "Cohort \"East\" could not be fitted"},
    {"age-adjusted blank year", DataSet::kAgeAdjusted,
     [](Rows& r) { Row(r, "East", "2003")[1] = ""; },
     ": the independent value is blank or missing."},
    // Fault: a population whose rate leaves the range of numbers ended the
    // whole run with "Cannot place kinkmark 0 in GridSearch.".
    {"age-adjusted population too small to form a rate", DataSet::kAgeAdjusted,
     [](Rows& r) { Row(r, "East", "2003")[4] = "1e-310"; },
     "One or more population values were beyond the numbers a double holds. "
     "(record 7, column 5)"},
    // Fault: a count no double holds was named "not numeric", without its
    // file, line or value.
    {"age-adjusted count 9.99989e-321", DataSet::kAgeAdjusted,
     [](Rows& r) { Row(r, "East", "2003")[3] = "9.99989e-321"; },
     ", column 4: the count \"9.99989e-321\" is a number beyond those a "
     "double holds (sizes from 1e-308 to 1e308, and 0)."},
    // Faults: a key given twice in a section no reader reads stopped the
    // run; a section given twice was read in part, with status 0.
    {"a key twice in a section no reader reads", DataSet::kRates, nullptr,
     "out.kmo has finished", 0, nullptr, 0, 0, "[Notes]\nnote = a\nnote = b\n"},
    {"the run options in two sections", DataSet::kRates, nullptr,
     "gives the section \"[Session Options]\" twice: line 1", 2, nullptr, 0, 0,
     "[Session Options]\nmaximum kinkmarks = 0\n"},
    // Faults: a header with blanks inside its brackets or around '=', or
    // with a comment after it, was another section, whose keys were
    // ignored with status 0 (a Site format's labels became its codes); a
    // header that cannot be read was a section too.
    {"every header with blanks and a comment", DataSet::kRates, nullptr,
     "out.kmo has finished", 0, nullptr,
     kCodesOnly | kAsUntouched | kSpacedHeaders},
    {"age-adjusted, every header with blanks and a comment",
     DataSet::kAgeAdjusted, nullptr, "has finished", 0, nullptr,
     kAsUntouched | kSpacedHeaders},
    // Faults: a key or format line with a tab before its '=' was another
    // key, ignored or refused; a format header naming its variable in
    // quotes was read, ignored, or beside the plain one lost in silence; a
    // format header naming no variable was a section nothing read.
    {"every key with tabs around its =", DataSet::kRates, nullptr,
     "out.kmo has finished", 0, nullptr,
     kCodesOnly | kAsUntouched | kTabbedKeys},
    {"age-adjusted, every key with tabs around its =", DataSet::kAgeAdjusted,
     nullptr, "has finished", 0, nullptr, kAsUntouched | kTabbedKeys},
    {"every format header in quotes", DataSet::kRates, nullptr,
     "out.kmo has finished", 0, nullptr,
     kCodesOnly | kAsUntouched | kQuotedFormats},
    // Faults: a session-parameter file refused a switch written 1.0 that a
    // dictionary read as yes; a dictionary read "Y" as no without a word.
    {"switches written 1.0 and No", DataSet::kRates, nullptr,
     "out.kmo has finished", 0, nullptr, kAsUntouched | kSwitchesSpelt},
    {"age-adjusted, switches written 1.0 and No", DataSet::kAgeAdjusted,
     nullptr, "has finished", 0, nullptr, kAsUntouched | kSwitchesSpelt},
    {"a switch written Y", DataSet::kRates, nullptr,
     ": \"Y\" is not a yes or no for \"Variable names included\"; write "
     "yes (\"yes\", \"true\" or the number 1) or no (\"no\", \"false\" or "
     "the number 0), in any case.",
     2, nullptr, kSwitchNeither},
    {"a format header in quotes beside the plain one", DataSet::kRates, nullptr,
     "gives the section \"[Format=Site]\" twice: line ", 2, nullptr, kCodesOnly,
     0, "", "1=East\n2=West\n[Format=\"Site\"]\n3=North\n"},
    {"a format header naming no variable", DataSet::kRates, nullptr,
     ": the section header \"[Format=]\" names no variable", 2, nullptr,
     kCodesOnly, 0, "", "1=East\n2=West\n[Format=]\n3=North\n"},
    {"a format header without its =", DataSet::kRates, nullptr,
     ": the section header \"[Format Site]\" names no variable", 2, nullptr,
     kCodesOnly, 0, "", "1=East\n2=West\n[Format Site]\n3=North\n"},
    {"a section header that cannot be read", DataSet::kRates, nullptr,
     "run.ini\", line 6: the section header \"[Notes\" cannot be read", 2,
     nullptr, 0, 0, "[Notes\n"},
    // Faults: under a year format, a year written 2005.0 or 2.006e3 ended
    // the whole run naming a text the file does not hold and no line; a
    // year "NA" ended the whole run, where a blank year refuses its cohort.
    {"years written 2005.0 and 2.006e3 under a year format", DataSet::kRates,
     [](Rows& r) {
       Row(r, "East", "2005")[1] = "2005.0";
       Row(r, "East", "2006")[1] = "2.006e3";
     },
     "has finished", 0, nullptr, kYearFormat},
    {"a year NA", DataSet::kRates,
     [](Rows& r) { Row(r, "East", "2005")[1] = "NA"; },
     "non-numeric. (record 6, column 2)  Data file \""},
    {"a year its format does not list", DataSet::kRates,
     [](Rows& r) { Row(r, "East", "2005")[1] = "2005.5"; },
     ", column 2: the independent value \"2005.5\" is none of the values the "
     "format of Year lists.",
     0, nullptr, kYearFormat},
    {"age-adjusted years written 2003.0 under a year format",
     DataSet::kAgeAdjusted,
     [](Rows& r) { Rewrite(r, 1, nullptr, "2003", "2003.0"); }, "has finished",
     0, nullptr, kYearFormat},
    // Faults: a year that only begins with a number was fitted as that
    // number; 2005e0 was refused, though 2.005e3 was read.
    {"a year written 2005-2006", DataSet::kRates,
     [](Rows& r) { Row(r, "East", "2005")[1] = "2005-2006"; },
     "column 2: the independent value \"2005-2006\" is not a number."},
    // Faults: a year under the smallest double was fitted as the year 0;
    // then it was called non-numeric before it was called a number.
    {"a year written 1e-999", DataSet::kRates,
     [](Rows& r) { Row(r, "East", "2005")[1] = "1e-999"; },
     "independent variable values beyond the numbers a double holds. (record "
     "6, column 2)  Data file \""},
    // Fault: a year above 1e15 ended the whole run with "Cannot place
    // kinkmark 0 in GridSearch.", naming nothing.
    {"a year written 1e300", DataSet::kRates,
     [](Rows& r) { Row(r, "East", "2005")[1] = "1e300"; },
     "column 2: the independent value \"1e300\" is a number of a size above "
     "1e15, and the fits cannot place kinkmarks between years that large."},
    {"a year written 2005-", DataSet::kRates,
     [](Rows& r) { Row(r, "East", "2005")[1] = "2005-"; },
     "column 2: the independent value \"2005-\" is not a number."},
    {"a last year written 2011+", DataSet::kRates,
     [](Rows& r) { Row(r, "East", "2011")[1] = "2011+"; },
     "column 2: the independent value \"2011+\" is not a number."},
    {"a year written 2005.0-5", DataSet::kRates,
     [](Rows& r) { Row(r, "East", "2005")[1] = "2005.0-5"; },
     "column 2: the independent value \"2005.0-5\" is not a number."},
    {"years written 2005e0 and 2006E+0", DataSet::kRates,
     [](Rows& r) {
       Row(r, "East", "2005")[1] = "2005e0";
       Row(r, "West", "2006")[1] = "2006E+0";
     },
     "out.kmo has finished", 0, nullptr, kAsUntouched},
    // Faults: a year -0 beside 0 gave two observations at one place, in the
    // data and as a label of the year format.
    {"centred years -0 beside 0", DataSet::kRates,
     [](Rows& r) {
       for (auto& row : r) row[1] = std::to_string(std::stoi(row[1]) - 2005);
       Row(r, "East", "1")[1] = "-0";
     },
     "equal.  Current Value: 0.000000  Previous Value: 0.000000"},
    // Fault: labels -0 or -0.0 beside 0 were refused at a data record,
    // naming 0.000000 twice and not the format's lines.
    {"a centred year format labelling -0 beside 0", DataSet::kRates, nullptr,
     ": the labels \"0\" of the independent value 2005 and \"-0\" of the "
     "independent value 2006 in [Format=Year] are one number",
     2, nullptr, 0, 0, "", "1=East\n2=West\n", "", kCentredMinusZero},
    // Fault: a dictionary left out the years labelled -4.0, -1e0 or -0.0.
    {"centred year labels written with a point or an exponent", DataSet::kRates,
     nullptr, "out.kmo has finished", 0, nullptr, 0, 0, "", "1=East\n2=West\n",
     "", kCentredSpelt},
    // Faults: a label no double holds was refused at a record of its year,
    // or called no whole number; 1e-999 was the year 0.
    {"years labelled 1e999", DataSet::kRates, nullptr,
     "the label \"1e999\" of the independent value 2000 in [Format=Year] "
     "is a number beyond",
     2, "1e999"},
    {"years labelled 1e-999", DataSet::kRates, nullptr,
     "2000 in [Format=Year] is a number beyond", 2, "1e-999"},
    // Fault: a dictionary's text label among years opened with unrelated
    // advice (for age-adjusted data: "no Adjustment Variable").
    {"years labelled x", DataSet::kRates, nullptr,
     "-\nSession file \"session.dic\", line ", 2, "x", kRouteDecides},
    {"age-adjusted years labelled x", DataSet::kAgeAdjusted, nullptr,
     "-\nSession file \"session.dic\", line ", 2, "x", kRouteDecides},
    {"a centred year format labelling -0.0 beside 0", DataSet::kRates, nullptr,
     ": the labels \"0\" of the independent value 2005 and \"-0.0\" of the "
     "independent value 2006 in [Format=Year] are one number",
     2, nullptr, 0, 0, "", "1=East\n2=West\n", "", kCentredMinusZeroPoint},
    // Fault: labels that fall as the years rise were refused quoting the
    // years, which rise.
    {"a year format whose labels fall", DataSet::kRates, nullptr,
     "but its label in [Format=Year], \"5\", is not greater than \"6\", the "
     "label of \"2000\".",
     2, nullptr, 0, 0, "", "1=East\n2=West\n", "", kFallingLabels},
    {"age-adjusted year its format does not list", DataSet::kAgeAdjusted,
     [](Rows& r) { Rewrite(r, 1, "East", "2003", "2003.5"); },
     ", column 2: the independent value \"2003.5\" is none of the values the "
     "format of Year lists.",
     0, nullptr, kYearFormat},  // Fault: a site code spelt 01 or +1 beside 1
                                // stopped the whole run with
    // "incompatible dimensions" or a count of rows, naming nothing.
    {"age-adjusted site codes spelt 01, +1 and 02", DataSet::kAgeAdjusted,
     SpellSiteCodes, "has finished", 0, nullptr, kCodesOnly | kAsUntouched},
    // Fault: with no age format every cohort was refused unless each year
    // began with the first record's age code.
    {"age groups shuffled within years", DataSet::kAgeAdjusted, ShuffleAges,
     "has finished", 0, nullptr, kAsUntouched},
    {"age groups shuffled within years with no age format",
     DataSet::kAgeAdjusted, ShuffleAges, "has finished", 0, nullptr,
     kAsUntouched | kNoAgeFormat},
    // Fault: the refusal named no key to write.
    {"age-adjusted run options without the run type", DataSet::kAgeAdjusted,
     nullptr, "the file gives no \"run type\")", 2, nullptr, kNoRunType},
    // Fault: the records of a year, its age groups, were refused as equal
    // years, naming nothing of the run type they need.
    {"age-adjusted run options without the run type or standard errors",
     DataSet::kAgeAdjusted, nullptr,
     "Previous Value: 2000.000000  The session names the adjustment variable "
     "Age (column 3), so the records of one year are its age groups, but the "
     "run reads each record as a year's own value: the run options must say "
     "\"run type = calculated\"",
     2, nullptr, kNoRunType | kConstantVariance},
    // Fault: the note on a cohort fitted with fewer kinkmarks quoted a
    // "maximum kinkmarks" that no file gave.
    {"a short second site without a maximum", DataSet::kRates,
     [](Rows& r) { r.resize(20); },
     "Note: cohort \"West\" was fitted with at most 1 kinkmark, not the 2 "
     "that the run set as the default for its cohorts' observations (no file "
     "gives \"maximum kinkmarks\"): its 8 observations",
     0, nullptr, kNoMaximum},
    // Fault: a site whose every year is left out ended the whole run with
    // "observation matrices hold fewer rows than its observation count".
    {"a site whose every year is marked not used", DataSet::kRates,
     [](Rows& r) {
       for (const char* sYear : {"2011", "2004", "2000"})
         r.insert(r.begin() + 12, {"North", sYear, "40.00", "0.50"});
     },
     "has finished", 0, "2000 (not used in calculations)", 0, 0, "",
     "1=East\n2=West\n3=North\n"},
    // Fault: a spreadsheet under another name was said to be damaged by a
    // NUL byte.
    {"a spreadsheet's bytes", DataSet::kRates, nullptr,
     "is a spreadsheet, which Kinkmark does not read", 2, nullptr,
     kSpreadsheet},
    // Faults: where each year has a record per age group, the default
    // maximum of kinkmarks was the table's for the records (5 for 20 years,
    // 1 for 5), in every route, the saved session's too.
    {"age-adjusted cohorts of 20 years under Hudson's method without a "
     "maximum",
     DataSet::kAgeAdjusted, AgeYears<20, 20>,
     "Maximum Number of Kinkmarks                      =  3", 0, nullptr,
     kNoMaximum | kHudsons},
    {"age-adjusted cohorts of 14 years with maximum kinkmarks = -1",
     DataSet::kAgeAdjusted, AgeYears<14, 14>,
     "Maximum Number of Kinkmarks                      =  2", 0, nullptr,
     kMaximumKept},
    {"age-adjusted cohorts of 5 years without a run-options file",
     DataSet::kAgeAdjusted, AgeYears<5, 5>,
     "Maximum Number of Kinkmarks                      =  0", 0, nullptr,
     kNoMaximum | kNoRunOptions},
    // Hudson's method takes the run-wide maximum, the longest cohort's: a
    // cohort of 6 years beside one of 20 is fitted with up to 1 kinkmark,
    // and selects it, where alone it gets 0.
    {"age-adjusted cohorts of 20 and 6 years under Hudson's method without "
     "a maximum",
     DataSet::kAgeAdjusted, AgeYears<20, 6>,
     "Note: cohort \"West\" was fitted with at most 1 kinkmark, not the 3 "
     "that the run set as the default for its cohorts' observations (no file "
     "gives \"maximum kinkmarks\"): its observations allow no more with "
     "\"min obs end\" and \"min obs between\".\n",
     0, nullptr, kNoMaximum | kHudsons},
    {"the 6-year cohort's selected model beside one of 20 under Hudson's "
     "method",
     DataSet::kAgeAdjusted, AgeYears<20, 6>, "\nWest;1\n", 0, nullptr,
     kNoMaximum | kHudsons},
    {"age-adjusted cohorts of 6 years under Hudson's method without a "
     "maximum",
     DataSet::kAgeAdjusted, AgeYears<6, 6>,
     "Maximum Number of Kinkmarks                      =  0", 0, nullptr,
     kNoMaximum | kHudsons},
    // Fault: clustering, which fits every cohort with the saved session's
    // maximum, refused a short cohort the run that saved the session had
    // fitted, advising to lower "maximum kinkmarks" in the run options,
    // which would turn the clustering off.
    {"a clustered cohort of 6 years beside one of 20 without a maximum",
     DataSet::kAgeAdjusted, AgeYears<20, 6>,
     "Too few observations to fit the specified model. Minimum "
     "observations required: 11. A clustering run fits every cohort with "
     "the saved session's \"maximum kinkmarks\" of 3, and the cohort's 6 "
     "years hold at most 1 with \"min obs end\" and \"min obs between\"; "
     "run options would turn the clustering off.  Cluster with a session "
     "saved by a run whose \"maximum kinkmarks\" is at most 1, or cluster "
     "the cohorts this short in a run of their own, with a session saved by "
     "a run over their data alone; otherwise Kinkmark will not process this "
     "cohort.\n",
     0, nullptr, kNoMaximum | kClustered},
    {"a clustered cohort of 5 years beside one of 14 without a maximum",
     DataSet::kAgeAdjusted, AgeYears<14, 5>,
     "required: 8. A clustering run fits every cohort with the saved "
     "session's \"maximum kinkmarks\" of 2, and the cohort's 5 years hold "
     "at most 1 with",
     0, nullptr, kNoMaximum | kClustered},
    {"a clustered cohort of 8 years beside one of 20 without a maximum",
     DataSet::kAgeAdjusted, AgeYears<20, 8>,
     "required: 11. A clustering run fits every cohort with the saved "
     "session's \"maximum kinkmarks\" of 3, and the cohort's 8 years hold "
     "at most 2 with",
     0, nullptr, kNoMaximum | kClustered},
    // The longest cohort's maximum, and the shorter one's own.
    {"age-adjusted cohorts of 14 and 20 years without a maximum",
     DataSet::kAgeAdjusted, AgeYears<14, 20>,
     "Note: cohort \"East\" was fitted with at most 2 kinkmarks, not the 3 "
     "that the run set as the default for its cohorts' observations (no file "
     "gives \"maximum kinkmarks\"): its 14 observations allow at most 2 by the "
     "table",
     0, nullptr, kNoMaximum},
};

// Route k of 4 for variation v: each delimiter once, and each value of
// every other dimension twice, on one of the balanced columns k&1, k>>1 and
// their sum, chosen so that over the variations every two dimensions meet
// in all four pairs of values (a pairwise covering set, not all 256). With
// bCommaOnly every route is a comma file, and a header row or none meets
// each value of the dictionary, gzip and "\r\n".
Route RouteFor(size_t v, int k, bool bCodesOnly, bool bCommaOnly) {
  const int iColumns[3] = {k & 1, (k >> 1) & 1, (k & 1) ^ ((k >> 1) & 1)};
  if (bCommaOnly) {
    const bool bHeader = iColumns[0] != 0;
    const bool bSum = iColumns[2] != 0;
    return {iColumns[1] != 0,   bHeader, bSum, !bHeader,
            bCodesOnly || bSum, !bSum,   ','};
  }
  auto pick = [&](size_t d) {
    const int iFlip = static_cast<int>(((d + v) / 2 + v) & 1);
    return (iColumns[(d * (1 + v % 3) + v / 3) % 3] ^ iFlip) != 0;
  };
  return {pick(0), pick(1),   pick(2), pick(3), bCodesOnly || pick(4),
          pick(5), ",\t ;"[k]};
}

std::string SessionText(const Variation& c, const Route& r,
                        const std::string& sData) {
  const bool bRates = c.data == DataSet::kRates;
  const char* sDelimiter = r.cDelimiter == ','    ? "comma"
                           : r.cDelimiter == '\t' ? "tab"
                           : r.cDelimiter == ' '  ? "space"
                                                  : "semi-colon";
  std::string s;
  if (r.bDictionary) {
    s = "[System]\nOutput filename=" + sData +
        "\n[Session Options]\nType=Rate\n[Export Options]\nGZipped=" +
        (r.bGzip ? "true" : "false") +
        "\nVariable format=numeric\nFile format=UNIX\nField delimiter=" +
        sDelimiter +
        "\nMissing character=period\nFields with delimiter in quotes=false\n"
        "Remove thousands separators=true\nFlags included=false\nVariable "
        "names included=" +
        (r.bHeader ? "true" : "false") + "\n[Variables]\nVar1Name=Site\n" +
        (bRates ? "Var2Name=Year\nVar3Name=Crude Rate\nVar4Name=Standard "
                  "Error\n"
                : "Var2Name=Year\nVar3Name=Age\nVar4Name=Count\nVar5Name="
                  "Population\nVar6Name=Standard Population\n");
  } else {
    s = "[Datafile Options]\nDatafile name = " + sData +
        "\nField delimiter = " + sDelimiter +
        "\nMissing character = period\nVariable names included = " +
        (r.bHeader ? "true" : "false") +
        "\n[Kinkmark Session Parameters]\nby-var1 = Site\nby-var1 location "
        "= 1\nindependent variable = Year\nindependent variable location = "
        "2\n" +
        (bRates ? "crude rate location = 3\nstandard error location = 4\nhet "
                  "error variable location = standard error\n"
                : "adjustment variable = Age\nadjustment variable location = "
                  "3\ncount location = 4\npopulation location = 5\nstandard "
                  "population location = 6\n");
  }
  if (r.bCodes) s += std::string("[Format=Site]\n") + c.sSiteFormat;
  if (!bRates && !(c.flags & kNoAgeFormat))
    s += std::string("[Format=Age]\n") + c.sAgeFormat;
  if (c.sYearFormat) s += std::string("[Format=Year]\n") + c.sYearFormat;
  if (c.sYearLabel || c.iYearCentre != 0 || (c.flags & kYearFormat)) {
    const int iLast = bRates ? 2011 : 2007;
    s += "[Format=Year]\n";
    for (int y = 2000; y <= iLast; ++y) {
      const std::string sYear = std::to_string(y);
      const bool bLabelled =
          c.sYearLabel != nullptr && (y == 2000 || y == 2004 || y == iLast);
      s += sYear + "=" +
           (bLabelled ? Edited(c.sYearLabel, "2000", sYear.c_str())
                      : std::to_string(y - c.iYearCentre)) +
           "\n";
    }
  }
  return s;
}

std::string DataText(const Variation& c, const Route& r) {
  Rows rows = MakeRows(c.data);
  if (c.edit != nullptr) c.edit(rows);
  std::string s;
  if (r.bHeader) {
    s = c.data == DataSet::kRates ? "Site,Year,Rate,SE"
                                  : "Site,Year,Age,Count,Population,StdPop";
    // A name for each further column of most records, their empty fields
    // at the end not counted.
    std::map<size_t, int> widths;
    for (const auto& row : rows) {
      size_t n = row.size();
      while (n > 0 && row[n - 1].empty()) --n;
      ++widths[n];
    }
    const size_t nWidth = std::max_element(widths.begin(), widths.end(),
                                           [](const auto& a, const auto& b) {
                                             return a.second < b.second;
                                           })
                              ->first;
    for (size_t n = static_cast<size_t>(std::count(s.begin(), s.end(), ','));
         n + 1 < nWidth; ++n) {
      s += ",Extra";
    }
    s += (c.flags & kNamesEndInDelimiter) ? ",\n" : "\n";
    std::replace(s.begin(), s.end(), ',', r.cDelimiter);
  }
  for (const auto& row : rows) {
    std::string sSite = row[0];
    if (r.bCodes && sSite[0] > '9' && sSite != "Total") {  // a site's name
      sSite = sSite == "East" ? "1" : sSite == "West" ? "2" : "3";
    }
    if (r.bQuoted) sSite = "\"" + sSite + "\"";
    s += sSite;
    for (size_t i = 1; i < row.size(); ++i) s += r.cDelimiter + row[i];
    s += "\n";
  }
  // A zip container's first bytes: its signature, version and flags.
  if (c.flags & kSpreadsheet) s = std::string("PK\x03\x04\x14\0\0\0", 8) + s;
  return s;
}

// What a run shows, without what differs by route alone: the file names
// and the data file's line numbers (a header row shifts them).
std::string Outcome(const km_test::ScratchDir& dir, int iStatus,
                    const std::string& sConsole) {
  std::string s = "status " + std::to_string(iStatus) + "\n";
  for (const char* sFile :
       {"run.ErrorFile.txt", "saved.ErrorFile.txt", "out.dataexport.txt",
        "out.apcexport.txt", "out.aapcexport.txt",
        "out.finalselectedmodelexport.txt"}) {
    if (!fs::exists(dir.File(sFile))) continue;
    const std::string sText = km_test::ReadAll(dir.File(sFile));
    s += sText.substr(0, sText.find("\n\nCall Path"));
  }
  for (const std::string& sLine : km_test::Lines(sConsole)) {
    if (sLine.find("could not be fitted") != std::string::npos) s += sLine;
  }
  s = std::regex_replace(s, std::regex(dir.Path() + "/"), "");
  s = std::regex_replace(
      s, std::regex("data\\.txt(\\.gz)?|session\\.(dic|ini)"), "FILE");
  return std::regex_replace(s, std::regex("(lines? )[0-9]+( to [0-9]+)?"),
                            "$1#");
}

// sExpect as a rerun of the saved session shows it: a note on the default
// maximum names the session that now holds it.
std::string SavedSessionNote(std::string sExpect) {
  const std::string sDefault =
      "that the run set as the default for its cohorts' observations (no file "
      "gives \"maximum kinkmarks\")";
  const size_t i = sExpect.find(sDefault);
  if (i != std::string::npos) {
    sExpect.replace(i, sDefault.size(),
                    "that the session of \"run.kms\" holds");
  }
  return sExpect;
}

TEST(BadInput, EveryRouteGivesTheSameAnalysisOrTheSameRefusal) {
  // The outcome of each data set as it is, its first variation.
  std::map<DataSet, std::string> untouched;
  for (size_t v = 0; v < std::size(kVariations); ++v) {
    const Variation& c = kVariations[v];
    SCOPED_TRACE(c.sName);
    // By route kind where it decides the outcome.
    std::map<std::string, std::string> reference;
    for (int k = 0; k < 4; ++k) {
      const Route r =
          RouteFor(v, k, c.flags & kCodesOnly, c.flags & kCommaOnly);
      SCOPED_TRACE(::testing::Message()
                   << "dictionary " << r.bDictionary << ", delimiter '"
                   << r.cDelimiter << "', header " << r.bHeader << ", gzip "
                   << r.bGzip << ", quoted " << r.bQuoted << ", codes "
                   << r.bCodes << ", crlf " << r.bCrlf);
      km_test::ScratchDir dir;
      const std::string sData = r.bGzip ? "data.txt.gz" : "data.txt";
      const std::string sSession =
          r.bDictionary ? "session.dic" : "session.ini";
      auto Write = [&](const std::string& sName, std::string sText) {
        if ((c.flags & kSpacedHeaders) && sName != sData) {
          sText = std::regex_replace(
              sText, std::regex("(^|\n)\\[([^=\n]*?)(=?)([^=\n]*)\\]"),
              "$1[ $2 $3 $4 ] ; a comment");
        }
        if ((c.flags & kTabbedKeys) && sName != sData) {
          sText = std::regex_replace(
              sText, std::regex("(^|\n)([^[;\n=]*?) *= *"), "$1$2\t=\t");
        }
        if ((c.flags & kSwitchesSpelt) && sName == sSession) {
          sText = Edited(Edited(sText, "true\n", "1.0\n"), "false\n", "No\n");
        }
        if ((c.flags & kSwitchNeither) && sName == sSession) {
          sText = std::regex_replace(
              sText, std::regex("(names included ?= ?)(true|false)"), "$1Y");
        }
        if ((c.flags & kQuotedFormats) && sName != sData) {
          sText = std::regex_replace(sText, std::regex("\\[Format=(\\w*)\\]"),
                                     "[Format='$1']");
        }
        if (r.bCrlf) sText = Edited(sText, "\n", "\r\n");
        if (!r.bGzip || sName != sData) {
          return km_test::WriteAll(dir.File(sName), sText);
        }
        gzFile file = gzopen(dir.File(sName).c_str(), "wb");
        ASSERT_NE(file, nullptr);
        gzwrite(file, sText.data(), static_cast<unsigned>(sText.size()));
        gzclose(file);
      };
      const std::string sSessionText = SessionText(c, r, sData);
      Write(sData, DataText(c, r));
      Write(sSession, sSessionText);
      Write("options.ini",
            std::string("[Session Options]\n") +
                (c.flags & kNoMaximum     ? ""
                 : c.flags & kMaximumKept ? "maximum kinkmarks = -1\n"
                                          : "maximum kinkmarks = 1\n") +
                (c.flags & kHudsons ? "method = hudsons\n" : "") +
                "model selection method = bic\n" +
                (c.data == DataSet::kRates
                     ? ""
                     : std::string(c.flags & kNoRunType
                                       ? ""
                                       : "run type = calculated\n") +
                           "dependent variable type = age-adjusted rate\n" +
                           (c.flags & kConstantVariance
                                ? ""
                                : "het error = standard error\n")) +
                c.sTail);
      const bool bNoRunOptions = (c.flags & kNoRunOptions) && r.bDictionary;
      const std::string sRun =
          "[Kinkmark Input Files]\nSession File = " + sSession +
          "\nData File = " + sData +
          (bNoRunOptions ? "" : "\nRun Options File = options.ini") +
          "\nOutput File = out.kmo\n" + c.sTail;
      Write("run.ini", sRun);
      const auto result = km_e2e::RunKinkmark(dir, "run.ini");
      EXPECT_FALSE(km_e2e::HasSanitizerReport(result.sConsole));
      const bool bRefusedLabel = (c.flags & kRouteDecides) && !r.bDictionary;
      const std::string sShown =
          result.sConsole +
          (fs::exists(dir.File("run.ErrorFile.txt"))
               ? km_test::ReadAll(dir.File("run.ErrorFile.txt"))
               : "") +
          (fs::exists(dir.File("out.RunSummary.txt"))
               ? km_test::ReadAll(dir.File("out.RunSummary.txt")) +
                     km_test::ReadAll(
                         dir.File("out.finalselectedmodelexport.txt"))
               : "");
      if (bRefusedLabel) {
        // The label, its value and the session file's line of it.
        EXPECT_EQ(result.iStatus, 2);
        const auto iLine = std::count(
            sSessionText.begin(),
            sSessionText.begin() + sSessionText.find("\n2000="), '\n');
        const std::string sAt = "session.ini\", line " +
                                std::to_string(iLine + 2) + ": the label \"" +
                                c.sYearLabel +
                                "\" of the independent value 2000";
        EXPECT_NE(sShown.find(sAt), std::string::npos) << sShown;
      } else {
        EXPECT_EQ(result.iStatus, c.iStatus) << sShown;
        const char* sExpect = c.flags & kClustered ? "has finished"
                              : r.bHeader && c.sExpectWithHeader != nullptr
                                  ? c.sExpectWithHeader
                                  : c.sExpect;
        EXPECT_NE(sShown.find(sExpect), std::string::npos) << sShown;
      }
      const bool bRenamed = c.sYearLabel != nullptr || c.iYearCentre != 0;
      if ((bRenamed || (c.flags & kYearFormat)) && !bRefusedLabel &&
          c.sExpect == std::string("has finished")) {
        // The labelled years are left out, and only they; years labelled
        // otherwise than as themselves are shown by their labels.
        const std::string sExport =
            km_test::ReadAll(dir.File("out.dataexport.txt"));
        const int nYears =
            (c.data == DataSet::kRates ? 12 : 8) - (c.sYearLabel ? 3 : 0);
        EXPECT_EQ(std::count(sExport.begin(), sExport.end(), '\n'),
                  2 * nYears + 1)
            << sExport;
        if (bRenamed) {
          EXPECT_EQ(sExport.find(";2000;"), std::string::npos) << sExport;
          EXPECT_EQ(sExport.find(";2004;"), std::string::npos) << sExport;
        }
      }
      const std::string sOutcome =
          Outcome(dir, result.iStatus, result.sConsole);
      const std::string sKind =
          std::to_string(bRefusedLabel   ? 1
                         : bNoRunOptions ? 2
                                         : 0) +
          (c.flags & kWidthWording ? std::to_string(r.bHeader) + r.cDelimiter
                                   : "");
      const auto it = reference.emplace(sKind, sOutcome).first;
      EXPECT_EQ(sOutcome, it->second);
      const auto asIs = untouched.emplace(c.data, sOutcome).first;
      if (c.flags & kAsUntouched) {
        EXPECT_EQ(sOutcome, asIs->second);
      }
      if (result.iStatus != 0) {
        if (!(c.flags & kWidthWording)) continue;
        // The saved session of a run of the data as they are refuses the
        // edited data alike.
        Variation unedited = c;
        unedited.edit = nullptr;
        Write(sData, DataText(unedited, r));
        const int iAsIs = km_e2e::RunKinkmark(dir, "run.ini").iStatus;
        EXPECT_EQ(iAsIs, 0) << "the data as they are";
        if (iAsIs != 0) continue;
        // Only the saved session is kept of that run.
        for (const auto& entry : fs::directory_iterator(dir.Path())) {
          if (entry.path().filename().string().rfind("out.", 0) == 0) {
            fs::remove(entry.path());
          }
        }
        fs::remove(dir.File("run.ErrorFile.txt"));
        Write(sData, DataText(c, r));
      }
      Write("saved.ini", Edited(sRun, sSession.c_str(), "run.kms"));
      const auto saved = km_e2e::RunKinkmark(dir, "saved.ini");
      EXPECT_EQ(Outcome(dir, saved.iStatus, saved.sConsole), sOutcome)
          << "the saved session";
      if (c.flags & kClustered) {
        // No run options: they would turn the clustering off.
        km_e2e::MakeClusteringSession(dir.File("run.kms"),
                                      dir.File("clustering.kms"));
        Write("clustered.ini",
              Edited(Edited(sRun, "Run Options File = options.ini\n", ""),
                     sSession.c_str(), "clustering.kms"));
        const auto clustered = km_e2e::RunKinkmark(dir, "clustered.ini");
        EXPECT_EQ(clustered.iStatus, 0) << clustered.sConsole;
        EXPECT_NE(clustered.sConsole.find(c.sExpect), std::string::npos)
            << clustered.sConsole;
      } else if (c.flags & (kNoMaximum | kMaximumKept)) {
        // The maximum the first run took is the saved session's own, and
        // its note says the saved session holds it.
        const std::string sSaved =
            saved.sConsole + km_test::ReadAll(dir.File("out.RunSummary.txt")) +
            km_test::ReadAll(dir.File("out.finalselectedmodelexport.txt"));
        EXPECT_NE(sSaved.find(SavedSessionNote(c.sExpect)), std::string::npos)
            << sSaved;
      }
    }
  }
}

}  // namespace
