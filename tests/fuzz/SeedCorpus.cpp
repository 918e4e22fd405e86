// km_fuzz_seeds <dir>: writes the seed corpus of every fuzz target into
// <dir>/<target>/. Session and results files are made by the project's own
// writers; the text inputs are small fixtures of the test suite.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "session/KmUserParamsDict.h"
#include "session/kmSession.h"
#include "tests/fuzz/FuzzFiles.h"
#include "tests/test_util/ResultsFileFixture.h"
#include "tests/test_util/TestUtil.h"

namespace fs = std::filesystem;

namespace {

// Text seeds: fixtures below tests/fixtures, per target.
struct FixtureSeeds {
  const char* sTarget;
  std::vector<const char*> vFixtures;
};

const std::vector<FixtureSeeds>& TextSeeds() {
  static const std::vector<FixtureSeeds> seeds = {
      {"fuzz_ini_file",
       {"e2e/options.ini", "e2e/run.ini", "params/rate_se.ini",
        "dictionaries/survival.dic", "e2e/bom/run.ini"}},
      {"fuzz_run_options", {"e2e/options.ini"}},
      {"fuzz_export_options", {"e2e/options.ini"}},
      {"fuzz_dictionary",
       {"dictionaries/rate_crude.dic", "dictionaries/survival.dic",
        "dictionaries/disparity.dic"}},
      {"fuzz_parameter_file",
       {"params/rate_se.ini", "params/age_adjusted.ini",
        "params/poisson_rate.ini", "e2e/session.ini"}},
      {"fuzz_data_preread",
       {"preread/blocks.csv", "preread/textcode.csv", "preread/twoblocks.csv",
        "preread/mixedcodes.csv", "preread/bom_blocks.csv",
        "preread/no_line_end.csv", "preread/long_record.csv"}},
      {"fuzz_data_preread_gz",
       {"preread/blocks.csv", "preread/blocks.csv.gz", "preread/textcode.csv",
        "preread/twoblocks.csv", "e2e/bad_gzipcutatbuffer/data.csv.gz"}},
      {"fuzz_data_verify",
       {"verify/rates_se.csv", "verify/unsorted.csv", "verify/bom_rates_se.csv",
        "preread/no_line_end.csv"}},
      {"fuzz_data_verify_gz",
       {"verify/rates_se.csv", "verify/rates_se.csv.gz",
        "e2e/bad_gzipcutatbuffer/data.csv.gz"}},
      {"fuzz_varcov",
       {"verify/varcov_labelled.csv", "verify/varcov_tab.txt",
        "verify/varcov_aligned.txt", "verify/bom_varcov.csv"}},
      {"fuzz_varcov_gz",
       {"verify/varcov_labelled.csv", "verify/varcov_labelled.csv.gz",
        "e2e/bad_gzipcutatbuffer/data.csv.gz"}},
  };
  return seeds;
}

// Session files written by kmSession::Write: the results tests' session
// and sessions read from parameter fixtures.
void WriteSessionSeeds(const fs::path& dir) {
  km_test::MakeSession(2, true).Write((dir / "results_session.kms").c_str());
  for (const char* sName : {"rate_se", "age_adjusted", "poisson_rate"}) {
    try {
      const std::string sParams = km_fuzz::FixturePath(
          ("params/" + std::string(sName) + ".ini").c_str());
      kmSession session{KmUserParamsDict(sParams.c_str())};
      session.Write((dir / (std::string(sName) + ".kms")).c_str());
    } catch (const KmException& e) {
      std::fprintf(stderr, "km_fuzz_seeds: %s: %s\n", sName, e.GetMessage());
    }
  }
}

// Whole results files written through the writing handler, and the
// damaged files that earlier readers accepted or hung on.
void WriteResultsSeeds(const fs::path& dir) {
  km_test::WriteWholeFile((dir / "none.kmo").string(), 0, false);
  km_test::WriteWholeFile((dir / "one.kmo").string(), 1, true);
  int iDamaged = 0;
  for (const km_test::DamagedFile& file :
       km_test::DamagedFiles((dir / "two.kmo").string())) {
    const std::string sName = "damaged" + std::to_string(++iDamaged) + ".kmo";
    km_test::WriteAll((dir / sName).string(), file.sBytes);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: km_fuzz_seeds <corpus directory>\n");
    return 2;
  }
  const fs::path out(argv[1]);
  for (const FixtureSeeds& seeds : TextSeeds()) {
    const fs::path dir = out / seeds.sTarget;
    fs::create_directories(dir);
    for (const char* sFixture : seeds.vFixtures) {
      const fs::path from(km_fuzz::FixturePath(sFixture));
      fs::copy_file(from, dir / from.filename(),
                    fs::copy_options::overwrite_existing);
    }
  }
  fs::create_directories(out / "fuzz_session_file");
  WriteSessionSeeds(out / "fuzz_session_file");
  fs::create_directories(out / "fuzz_results_file");
  WriteResultsSeeds(out / "fuzz_results_file");
  return 0;
}
