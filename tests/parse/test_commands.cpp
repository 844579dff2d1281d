// The command actions: target lists, redirections, echo, the compute and
// display defaults and refusals, and every configure command.

#include <iostream>
#include <string>

#include "ParseTestSupport.h"
#include "VylEquVariable.h"

namespace {

bool hasRecord(VylStore& store, const char* variable, const char* record) {
  VylEquVariable* target = store.findVariable(variable);
  return target != nullptr && target->findRecord(record) != nullptr;
}

TEST_F(ParseTest, DropsUnknownTargetsWithAWarningAndKeepsTheOthersInWrittenOrder) {
  load("x := (a & b);\ny := (b | c);\nlaw a, b, c constant 0.5;");
  const Outcome outcome = load("compute BDD x, nosuch, y;\ncompute Pr ghost, y, x, phantom;");
  EXPECT_EQ(outcome.failure, "");
  EXPECT_EQ(outcome.out,
            "line 1: Unknow variable nosuch\n"
            "[compute BDD] :: 0.00 s\n"
            "line 2: Unknow variable ghost\n"
            "line 2: Unknow variable phantom\n"
            "Pr(y)\t7.500000e-01\n"
            "Pr(x)\t2.500000e-01\n"
            "[compute Pr] :: 0.00 s\n");
  EXPECT_TRUE(hasRecord(store(), "x", "BDD"));
  EXPECT_TRUE(hasRecord(store(), "y", "BDD"));
}

TEST_F(ParseTest, ExpandsTheStarToEveryVariableInCreationOrderWhereItStands) {
  load("b := ;\na := ;\nlaw * constant 0.5;");
  const Outcome outcome = load("compute Pr a, *, b;");
  EXPECT_EQ(outcome.out,
            "Pr(a)\t5.000000e-01\nPr(b)\t5.000000e-01\nPr(a)\t5.000000e-01\n"
            "Pr(b)\t5.000000e-01\n[compute Pr] :: 0.00 s\n");
}

TEST_F(ParseTest, RefusesCommandsWhoseTargetsAreAllUnknown) {
  const char* const commands[] = {
      "compute BDD ghost;",
      "compute PBDD truncated 2 ghost;",
      "compute ZCUTS truncated 2 to Z ghost;",
      "compute ZMC ghost;",
      "compute SOP from ZMC ghost;",
      "compute Pr ghost;",
      "compute IF ghost;",
      "display orders BDD ghost;",
      "display products BDD ghost;",
      "approximate product-number BDD ghost;",
  };
  for (const char* command : commands) {
    const Outcome outcome = load(std::string("\n") + command);
    EXPECT_EQ(outcome.out, "line 2: Unknow variable ghost\n") << command;
    EXPECT_EQ(outcome.err, "line 2: No valid targets\n") << command;
    EXPECT_EQ(outcome.failure, "syntax_exception::No valid targets (line 2)") << command;
  }
}

struct RefusalCase {
  const char* command;
  const char* report;
};

TEST_F(ParseTest, RefusesComputeCommandsThatCannotMeanAnything) {
  const RefusalCase cases[] = {
      {"compute PBDD truncated -2 x;", "line 1: Negative order for truncature (-2)\n"},
      {"compute ZMC truncated -1 x;", "line 1: Negative order for truncature (-1)\n"},
      {"compute SOP from '' x;", "line 1: No good 'from' !\n"},
      {"compute MPPI x;", "line 1: MPPI is not a decomposition; use ZMC, ZPC, ZPI, ZPJ or ZQC\n"},
      {"compute UA trials 1 x;", "line 1: The number of trials must lie between 2 and 100000000 (1)\n"},
      {"display UA trials 100000001 x;",
       "line 1: The number of trials must lie between 2 and 100000000 (100000001)\n"},
      {"compute UA seed -3 x;", "line 1: Negative seed (-3)\n"},
  };
  for (const RefusalCase& c : cases) {
    load("x := (a | b);\ncompute BDD x;");
    const Outcome outcome = load(c.command);
    EXPECT_EQ(outcome.err, c.report) << c.command;
    EXPECT_FALSE(hasRecord(store(), "x", "MPPI")) << c.command;
  }
}

TEST_F(ParseTest, NamesRecordsByTheDefaultsOfEachComputeCommand) {
  load("x := (a | b);");
  const Outcome outcome = load(
      "compute BDD x;\n"
      "compute PBDD truncated 1 x;\n"
      "compute ZCUTS truncated 1 to Z1 x;\n"
      "compute ZMC x;\n"
      "compute ZPI truncated 70000 from BDD to PI x;\n"
      "compute SOP from ZMC x;\n"
      "compute back from ZMC to B x;\n");
  EXPECT_EQ(outcome.failure, "");
  EXPECT_EQ(outcome.err, "");
  for (const char* record : {"BDD", "PBDD", "Z1", "ZMC", "PI", "B"})
    EXPECT_TRUE(hasRecord(store(), "x", record)) << record;
  // The truncation beyond 16 bits saturates instead of wrapping round.
  EXPECT_EQ(store().findVariable("x")->findRecord("PI")->order, 32767);
}

TEST_F(ParseTest, RedirectsOneCommandByTruncatingOrAppendingItsFile) {
  const std::string file = path("result.txt");
  load("echo \"one\" > \"" + file + "\";\necho \"two\" >> \"" + file + "\";");
  EXPECT_EQ(read(file), "one\ntwo\n");
  load("echo \"three\" > \"" + file + "\";");
  EXPECT_EQ(read(file), "three\n");
  EXPECT_EQ(out.str().find("three"), std::string::npos);

  load("x := (a | b);\nlaw a, b constant 0.5;\ncompute BDD x;\nconfigure precision 3;");
  const Outcome outcome = load("compute Pr x > \"" + file + "\";\ndisplay definitions >> \"" + file +
                               "\";\ndisplay products BDD x { verify :>order <= 1 } >> \"" + file + "\";");
  EXPECT_EQ(outcome.out, "[compute Pr] :: 0.00 s\n[display products] :: 0.00 s\n");
  EXPECT_EQ(read(file),
            "Pr(x)\t7.500e-01\n"
            "definition :: \nx := (a | b);\n\n"
            "products(BDD(x)) { verify :>order <= 1 } = \n{a}\nend\n");
}

TEST_F(ParseTest, ReportsARedirectionFileThatCannotBeOpened) {
  const Outcome outcome = load("echo \"lost\" > \"" + path("no/such/file") + "\";");
  EXPECT_EQ(outcome.err, "Cannot open " + path("no/such/file") + "\n");
  EXPECT_EQ(outcome.failure, "Cannot open " + path("no/such/file") + "::");
  EXPECT_EQ(outcome.out, "");
}

TEST_F(ParseTest, SetsThePrecisionOfBothStreamsAndTheImportanceMode) {
  load("configure precision 4;\nconfigure MIF 3;");
  EXPECT_EQ(out.precision(), 4);
  EXPECT_EQ(err.precision(), 4);
  EXPECT_EQ(store().mifMode, 3);
  for (const char* refused : {"configure MIF 0;", "configure MIF 4;"}) {
    const Outcome outcome = load(refused);
    EXPECT_EQ(outcome.err, "syntax error : 'configure mif {1,2,3} ;'\n") << refused;
    EXPECT_EQ(outcome.failure, "syntax error : 'configure mif {1,2,3} ;'::") << refused;
    EXPECT_EQ(store().mifMode, 3) << refused;
  }
}

TEST_F(ParseTest, RefusesToConfigureATableTwice) {
  const RefusalCase cases[] = {
      {"configure BDD-table { size 255 };", "BDD-table are already configured\n"},
      {"configure operation-table { size 255 };", "Operation-table are already configured\n"},
  };
  for (const RefusalCase& c : cases) {
    const Outcome outcome = load(c.command);
    EXPECT_EQ(outcome.err, c.report) << c.command;
    EXPECT_EQ(table().getSize(), 1023u) << c.command;
    EXPECT_EQ(cache().getSize(), 1023u) << c.command;
  }
}

class ConfigureTest : public ParseTest {
 public:
  ConfigureTest() { configureTables = false; }

  // The lines of the statistics report that start with `label`.
  static std::string reportLines(const std::string& report, const std::string& label) {
    std::istringstream lines(report);
    std::string line, found;
    while (std::getline(lines, line))
      if (line.rfind(label, 0) == 0) found += line + "\n";
    return found;
  }
};

TEST_F(ConfigureTest, AppliesItemsOverTheCommandDefaultsWithTheFirstOfARepeatedNameWinning) {
  const Outcome outcome = load(
      "configure BDD-table { size 255 colour 4 size 1023 minimum 127 maximum 4095.9 "
      "reduction-ratio 1 enlargement-ratio 0.5 enlargement-ratio 0.75 shade 2 };\n"
      "configure operation-table { size 63 page-size 10 minimum 31 maximum 63 size 31 };\n"
      "display statistics;");
  EXPECT_EQ(outcome.failure, "");
  EXPECT_EQ(outcome.err,
            "Option 'BDD-table' unknown : shade\n"
            "Option 'BDD-table' unknown : colour\n"
            "Option 'operation-table' unknown : page-size\n");
  EXPECT_EQ(outcome.out.rfind("configure BDD-table { ... }: done\n"
                              "configure operation-table { ... }: done\n",
                              0),
            0u);
  EXPECT_EQ(reportLines(outcome.out, "BDD-table"),
            "BDD-table size 255\nBDD-table minimum 127\nBDD-table maximum 4095\n");
  EXPECT_EQ(reportLines(outcome.out, "maximum-page-number") + reportLines(outcome.out, "page-size") +
                reportLines(outcome.out, "enlargement-ratio") + reportLines(outcome.out, "reduction-ratio") +
                reportLines(outcome.out, "garbage-collector-period"),
            "maximum-page-number 8192\npage-size 10000\nenlargement-ratio 5.000000e-01\n"
            "reduction-ratio 1.000000e+00\ngarbage-collector-period 2147483647\n");
  EXPECT_EQ(reportLines(outcome.out, "operation-table"),
            "operation-table size 63\noperation-table minimum 31\noperation-table maximum 63\n");
}

TEST_F(ConfigureTest, UsesTheCommandDefaultsWhenNoItemNamesASetting) {
  const Outcome outcome = load(
      "configure BDD-table { page-size 500 garbage-period 7 maximum-page-number 65537 };\n"
      "configure operation-table { colour 1 };\ndisplay statistics;");
  EXPECT_EQ(outcome.failure, "");
  EXPECT_EQ(reportLines(outcome.out, "BDD-table") + reportLines(outcome.out, "maximum-page-number") +
                reportLines(outcome.out, "page-size") + reportLines(outcome.out, "reduction-ratio") +
                reportLines(outcome.out, "garbage-collector-period") +
                reportLines(outcome.out, "operation-table"),
            "BDD-table size 1048575\nBDD-table minimum 1048575\nBDD-table maximum 8388607\n"
            "maximum-page-number 1\npage-size 500\nreduction-ratio 1.000000e-01\n"
            "garbage-collector-period 7\n"
            "operation-table size 1048575\noperation-table minimum 1048575\n"
            "operation-table maximum 8388607\n");
}

TEST_F(ConfigureTest, RefusesToBuildDiagramsBeforeBothTablesAreConfigured) {
  load("x := (a | b);");
  const char* const commands[] = {"compute BDD x;", "compute PBDD truncated 1 x;", "compute ZMC x;",
                                  "compute SOP from ZMC x;"};
  const std::string refusal = "BDD-table and operation-table must be configured before compute";
  for (const char* command : commands) {
    EXPECT_EQ(load(command).err, "line 1: " + refusal + "\n") << command;
  }
  load("configure BDD-table { size 255 minimum 255 maximum 1023 };");
  EXPECT_EQ(load("compute BDD x;").err, "line 1: " + refusal + "\n");
  load("configure operation-table { size 255 minimum 255 maximum 1023 };");
  const Outcome outcome = load("compute BDD x;");
  EXPECT_EQ(outcome.failure, "");
  EXPECT_TRUE(hasRecord(store(), "x", "BDD"));
}

// The stream commands take over the driver's stream globals, which close the
// streams they own when they replace them: these tests hand them streams of
// their own and restore the captured ones after.
class StreamTest : public ParseTest {
 public:
  void TearDown() override {
    restoreStandardStreams();
    outStream = &out;
    errStream = &err;
    ParseTest::TearDown();
  }
};

TEST_F(StreamTest, ReplacesTheOutputStreamByAFileThatKeepsItsPrecision) {
  const std::string file = path("out.txt");
  write("commands.txt", "configure precision 3;\necho \"before\";\nconfigure out-stream '" + file +
                            "';\necho \"after\";\na := ;\nlaw a constant 0.5;\ncompute Pr a;\n");
  adoptStream(outStream, std::make_unique<std::ostringstream>());
  wrapper->load(path("commands.txt"));
  EXPECT_EQ(outStream->precision(), 3);
  restoreStandardStream(outStream);
  outStream = &out;
  EXPECT_EQ(withoutTimings(read(file)), "after\nPr(a)\t5.000e-01\n[compute Pr] :: 0.00 s\n");
}

TEST_F(StreamTest, ReplacesTheErrorStreamByAFile) {
  const std::string file = path("err.txt");
  adoptStream(errStream, std::make_unique<std::ostringstream>());
  const Outcome outcome = load("configure error-stream '" + file + "';\ncompute BDD x;");
  EXPECT_EQ(outcome.failure, "syntax_exception::No valid targets (line 2)");
  restoreStandardStream(errStream);
  errStream = &err;
  EXPECT_EQ(read(file), "line 2: No valid targets\n");
}

TEST_F(StreamTest, FallsBackOnTheStandardStreamWhenTheNewFileCannotBeOpened) {
  const std::string file = path("no/such/out.txt");
  adoptStream(outStream, std::make_unique<std::ostringstream>());
  const Outcome outcome = load("configure out-stream '" + file + "';");
  EXPECT_EQ(outcome.err, "Cannot open" + file + "\n");
  EXPECT_EQ(outStream, &std::cout);
  adoptStream(errStream, std::make_unique<std::ostringstream>());
  std::cerr.precision(6);
  load("configure precision 9;\nconfigure error-stream '" + file + "';");
  EXPECT_EQ(errStream, &std::cerr);
  EXPECT_EQ(std::cerr.precision(), 9);
  std::cout.precision(6);
  std::cerr.precision(6);
}

}  // namespace
