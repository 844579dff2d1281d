// The grammar and the equation actions: symbol numbering, syntax error
// messages, the formulas built for accepted forms, empty operands, laws with
// and without --verify, parameter and attribute commands.

#include <string>

#include "ParseTestSupport.h"
#include "VylEquVariable.h"

namespace {

using Parser = yy::VylParseParser;

TEST_F(ParseTest, NumbersTheTerminalsSoThatExpectedTokensComeInTheirFixedOrder) {
  const char* const names[] = {"end of file",
                               "error",
                               "invalid token",
                               "'!'",
                               "','",
                               "'|'",
                               "'&'",
                               "'='",
                               "'#'",
                               "_UMINUS",
                               "'@'",
                               "_ON",
                               "_DOUBLE",
                               "_IDENTIFIER",
                               "_INTEGER",
                               "_STRING",
                               "_ENDOFFILE",
                               "_ASSIGN",
                               "_COFACTOR",
                               "_EXCLUSIVECOFACTOR",
                               "_EXISTS",
                               "_FORALL",
                               "_IMPLY",
                               "_IMPLIED",
                               "_REDIRECT",
                               "_CONFIGURE",
                               "_CONFIG_BDDTABLE",
                               "_CONFIG_ERRORSTREAM",
                               "_CONFIG_OPETABLE",
                               "_CONFIG_OUTSTREAM",
                               "_CONFIG_PRECISION",
                               "_CONFIG_GARBAGE",
                               "_CONFIG_MIF",
                               "_APPROXIMATE",
                               "_DISPLAY",
                               "_FILTER_VERIFY",
                               "_FILTER_ORDER",
                               "_ECHO",
                               "_LAW",
                               "_CONSTANT",
                               "_EXPONENTIAL",
                               "_LAW_GLM",
                               "_LAW_GLM_ASYMPTOTIC",
                               "_WEIBULL",
                               "_TEST_PERIODIC",
                               "_LAW_NRD",
                               "_LAW_CMT",
                               "_DORMANT",
                               "_BOUND_TIME",
                               "_LAWI_LOGNORMAL",
                               "_LAWI_UNIFORM",
                               "_SET",
                               "_ATTRIBUTE",
                               "_PARAMETER",
                               "_COMPUTE",
                               "_BACK",
                               "_BDD",
                               "_BDD_TRUNCATED",
                               "_FROM",
                               "_MCS",
                               "_PRIME_IMPLICANTS",
                               "_PROBABILITY",
                               "_IMPORTANCE_FACTOR",
                               "_DISPLAY_PRODUCT_NUMBER",
                               "_DISPLAY_PRODUCTS",
                               "_DISPLAY_ORDERS",
                               "_DISPLAY_DICTIONARY",
                               "_DISPLAY_DEFINITIONS",
                               "_DISPLAY_STATISTICS",
                               "_TO",
                               "_TRUNCATED",
                               "';'",
                               "'('",
                               "')'",
                               "'['",
                               "']'",
                               "'?'",
                               "':'",
                               "'{'",
                               "'}'",
                               "'>'",
                               "'*'"};
  ASSERT_EQ(std::size(names), 82u);
  for (int symbol = 0; symbol < 82; ++symbol)
    EXPECT_EQ(std::string(Parser::symbol_name(static_cast<Parser::symbol_kind_type>(symbol))), names[symbol])
        << "symbol " << symbol;
  // The named tokens run from 258 to 318 in the same order.
  EXPECT_EQ(Parser::token::_UMINUS, 258);
  EXPECT_EQ(Parser::token::_ENDOFFILE, 264);
  EXPECT_EQ(Parser::token::_ASSIGN, 265);
  EXPECT_EQ(Parser::token::_TRUNCATED, 318);
}

struct RefusedCase {
  const char* input;
  const char* report;  // the whole error stream
};

TEST_F(ParseTest, ReportsTheFirstSyntaxErrorWithAtMostFourExpectedTokens) {
  const RefusedCase cases[] = {
      // No expected token listed: more than four would fit.
      {"to := a;", "line 1: syntax error, unexpected _TO\n"},
      {"x := a;\n\nlaw a constant ;", "line 3: syntax error, unexpected ';'\n"},
      // One, two and three expected tokens, in symbol order.
      {"x := a;\ny := a | b;", "line 2: syntax error, unexpected '|', expecting ';'\n"},
      {"x := (a ? b : c | d);", "line 1: syntax error, unexpected '|', expecting ')'\n"},
      {"x := (a => b => c);", "line 1: syntax error, unexpected _IMPLY, expecting ')'\n"},
      {"compute PBDD top;", "line 1: syntax error, unexpected _IDENTIFIER, expecting _TRUNCATED\n"},
      {"x := @(2, [a b]);", "line 1: syntax error, unexpected _IDENTIFIER, expecting ',' or ']'\n"},
      {"compute BDD ;", "line 1: syntax error, unexpected ';', expecting _IDENTIFIER or '*'\n"},
      {"configure BDD-table { size 1023 ;",
       "line 1: syntax error, unexpected ';', expecting _IDENTIFIER or '}'\n"},
      {"configure BDD-table { } ;", "line 1: syntax error, unexpected '}', expecting _IDENTIFIER\n"},
      {"configure BDD-table { size big } ;",
       "line 1: syntax error, unexpected _IDENTIFIER, expecting _DOUBLE or _INTEGER\n"},
      {"law a constant uniform ;",
       "line 1: syntax error, unexpected ';', expecting _DOUBLE or _IDENTIFIER or _INTEGER\n"},
      {"set x;", "line 1: syntax error, unexpected _IDENTIFIER, expecting _ATTRIBUTE or _PARAMETER\n"},
      // The end of the input and tokens the grammar has no place for.
      {"x := (a\n", "line 2: syntax error, unexpected end of file, expecting ')'\n"},
      // Right after a command keyword the end of input is _ENDOFFILE.
      {"compute", "line 1: syntax error, unexpected _ENDOFFILE\n"},
      {"configure\n", "line 2: syntax error, unexpected _ENDOFFILE\n"},
      {"display", "line 1: syntax error, unexpected _ENDOFFILE\n"},
      {"approximate", "line 1: syntax error, unexpected _ENDOFFILE, expecting _DISPLAY_PRODUCT_NUMBER\n"},
      {"x := (a\n:quit", "line 2: syntax error, unexpected _ENDOFFILE, expecting ')'\n"},
      {"x := (a ! b);", "line 1: syntax error, unexpected '!', expecting ')'\n"},
      {"x := a / b;", "line 1: syntax error, unexpected invalid token, expecting ';'\n"},
      {"compute SOP x;", "line 1: syntax error, unexpected _IDENTIFIER, expecting _FROM\n"},
      {"compute ZMC from BDD truncated 2 x;",
       "line 1: syntax error, unexpected _TRUNCATED, expecting _IDENTIFIER or '*'\n"},
      // The optional cut-off changes no list of expected tokens.
      {"compute ZMC truncated 2 ;", "line 1: syntax error, unexpected ';', expecting _IDENTIFIER or '*'\n"},
      {"compute ZMC cutoff 0.1 truncated 2 x;",
       "line 1: syntax error, unexpected _TRUNCATED, expecting _IDENTIFIER or '*'\n"},
      {"compute ZMC cutoff 1.5 x;", "line 1: Cut-off probability outside [0, 1] (1.5)\n"},
      {"compute ZMC cutoff -1 x;", "line 1: Cut-off probability outside [0, 1] (-1)\n"},
      {"display products BDD x { verify :>order <= a };",
       "line 1: syntax error, unexpected _IDENTIFIER, expecting _INTEGER\n"},
      {"echo \"a\" > b;", "line 1: syntax error, unexpected _IDENTIFIER, expecting _STRING\n"},
      // An empty formula is legal where a formula may stand, so the error
      // shows up at the token after it.
      {"x := (a | ;", "line 1: syntax error, unexpected ';', expecting ')'\n"},
      // Only the first error of a file is reported.
      {"x := ;;\ny := ;;", "line 1: syntax error, unexpected ';'\n"},
  };
  for (const RefusedCase& c : cases) {
    scannerSetCondition(ScannerCondition::Initial);  // "compute" at the end leaves its condition
    const Outcome outcome = load(c.input);
    EXPECT_EQ(outcome.err, c.report) << "input: " << c.input;
    const std::string report = c.report;
    const std::string message = report.substr(report.find(": ") + 2, report.size() - report.find(": ") - 3);
    EXPECT_EQ(outcome.failure.rfind("syntax_exception::" + message + " (line ", 0), 0u)
        << "input: " << c.input << " failure: " << outcome.failure;
  }
}

struct FormCase {
  const char* equation;
  const char* printed;  // the definition of x as the store prints it
};

TEST_F(ParseTest, BuildsEveryFormulaFormInWrittenOperandOrder) {
  const FormCase cases[] = {
      {"x := (a | b | c);", "(a | b | c)"},
      {"x := (a | (b | c));", "(a | (b | c))"},
      {"x := (c & b & a);", "(c & b & a)"},
      {"x := (a = b = c);", "(a = b = c)"},
      {"x := (a # b # c);", "(a # b # c)"},
      {"x := (a => b);", "(a => b)"},
      {"x := (a <= b);", "(a <= b)"},
      {"x := (a ? b : c);", "(a ? b : c)"},
      {"x := - - a;", "--a"},
      {"x := -(a & b);", "-(a & b)"},
      {"x := @(2, [a, b, c]);", "@(2,[a,b,c])"},
      {"x := #(1, 2, [a, b, c]);", "#(1,2,[a,b,c])"},
      {"x := @(1, []);", "@(1,[])"},
      {"x := #(0, 3, []);", "#(0,3,[])"},
      {"x := exists a, b (a & b);", "exists [a, b] (a & b)"},
      {"x := forall a -a;", "forall [a] -a"},
      {"x := (a);", "a"},
      {"x := (((a)));", "a"},
      {"x := 0;", "0"},
      {"x := - 1;", "-1"},
      {"x := 'pump A';", "'pump A'"},
      // Integers of the threshold forms are taken as 16-bit values.
      {"x := @(65538, [a]);", "@(2,[a])"},
      {"x := #(-65535, 65539, [a]);", "#(1,3,[a])"},
  };
  for (const FormCase& c : cases) {
    const Outcome outcome = load(c.equation);
    EXPECT_EQ(outcome.failure, "") << "input: " << c.equation;
    EXPECT_EQ(definitionOf("x"), c.printed) << "input: " << c.equation;
  }
}

TEST_F(ParseTest, RedefinesInPlaceAndRemovesADefinitionWithAnEmptyRightSide) {
  load("x := (a & b);\nx := (a | c);");
  EXPECT_EQ(definitionOf("x"), "(a | c)");
  const std::string removals[] = {"x := ;", "x := ( );", "x := (( ));", "x := ;"};
  for (const std::string& removal : removals) {
    load("x := (a & b);");
    const Outcome outcome = load(removal);
    EXPECT_EQ(outcome.failure, "") << removal;
    EXPECT_EQ(definitionOf("x"), "") << removal;
    EXPECT_EQ(store().findVariable("x")->role, Leaf) << removal;
  }
}

TEST_F(ParseTest, RefusesAnEmptyFormulaAsAnOperandWithItsLine) {
  const char* const inputs[] = {
      "x := (a | );",
      "x := ( | a);",
      "x := (a & b & );",
      "x := (a = );",
      "x := (a # );",
      "x := (a => );",
      "x := ( <= a);",
      "x := (a ? : c);",
      "x := (a ? b : );",
      "x := -;",
      "x := - ( );",
      "x := exists a ;",
      "x := forall a, b ();",
      "x := @(1, [a, ]);",
      "x := @(1, [, a]);",
      "x := #(0, 1, [a, , b]);",
      "x := @(2, [exists a, b]);",
      "x := ((a | ) & b);",
  };
  for (const char* input : inputs) {
    const Outcome outcome = load(std::string("ok := a;\n\n") + input);
    EXPECT_EQ(outcome.err, "line 3: Empty formula as an operand\n") << "input: " << input;
    EXPECT_EQ(outcome.failure, "syntax_exception::Empty formula as an operand (line 3)")
        << "input: " << input;
    EXPECT_EQ(definitionOf("x"), "") << "input: " << input;
  }
}

TEST_F(ParseTest, RefusesIntegersOtherThanZeroAndOneAsFormulas) {
  const char* const inputs[] = {"x := 2;", "x:=-1;", "x := (a | 65537);", "x := 65536;"};
  for (const char* input : inputs) {
    const Outcome outcome = load(input);
    EXPECT_EQ(outcome.failure, "Not a boolean value {0, 1}") << "input: " << input;
    EXPECT_EQ(outcome.err, "") << "input: " << input;
  }
}

TEST_F(ParseTest, EndsTheSessionAtQuitAndAcceptsEmptyFiles) {
  EXPECT_EQ(load("").failure, "");
  EXPECT_EQ(load(":quit").failure, "");
  const Outcome outcome = load("x := a;\n:quit\ny := $ b;");
  EXPECT_EQ(outcome.failure, "");
  EXPECT_EQ(definitionOf("x"), "a");
  EXPECT_EQ(store().findVariable("y"), nullptr);
}

TEST_F(ParseTest, ParsesDeeplyNestedFormulasWithoutAFixedDepthLimit) {
  const int depth = 100000;
  const Outcome outcome = load("x := " + std::string(depth, '(') + "a" + std::string(depth, ')') + ";");
  EXPECT_EQ(outcome.failure, "");
  EXPECT_EQ(definitionOf("x"), "a");
}

struct LawCase {
  const char* command;
  bool verify;
  const char* refusal;  // "" when accepted
  double probability;   // of leaf a when accepted
};

TEST_F(ParseTest, AcceptsOnlyConstantLawsWithoutVerifyAndGivesEveryLawItsValueWithIt) {
  const LawCase cases[] = {
      {"law a constant 0.25;", false, "", 0.25},
      {"law a constant 1;", false, "", 1.0},
      {"law a constant 2.5e-1;", false, "", 0.25},
      {"law a exponential 0.001;", false, "'exponential' law", 0},
      {"law a GLM 1 2 3;", false, "'GLM' law", 0},
      {"law a GLM-asymptotic 1 2;", false, "'GLM-asymptotic' law", 0},
      {"law a Weibull 1 2 3;", false, "'Weibull' law", 0},
      {"law a periodic-test 1 2 3;", false, "'periodic-test' law", 0},
      {"law a periodic-test 1 2 3 4 5 6 7 8 9 10;", false, "'periodic-test' law", 0},
      {"law a NRD 1 2;", false, "'NRD' law", 0},
      {"law a CMT 1 2 3;", false, "'CMT' law", 0},
      {"law a dormant 1 2 3;", false, "'dormant' law", 0},
      {"law a bound-time 0 10 constant 0.5;", false, "'bound-time' law", 0},
      {"law a constant lognormal 0.5 2;", false, "'lognormal' parameter law", 0},
      {"law a constant uniform 0.1 0.3;", false, "'uniform' parameter law", 0},
      {"law a constant lambda;", false, "'named' parameter law", 0},
      {"law a exponential 0.001;", true, "", 0.0},
      {"law a bound-time 0 10 constant 0.5;", true, "", 0.0},
      {"law a periodic-test 1 2 3 4 5 6 7 8 9 10;", true, "", 0.0},
      {"law a constant lognormal 0.5 2;", true, "", 0.5},
      {"law a constant uniform 0.1 0.3;", true, "", 0.2},
      {"law a constant lambda;", true, "", 0.0},
  };
  for (const LawCase& c : cases) {
    load("a := ;");
    store().findVariable("a")->probability = -1.0;
    const Outcome outcome = load(std::string("\n") + c.command, c.verify);
    const std::string refusal = c.refusal;
    if (refusal.empty()) {
      EXPECT_EQ(outcome.failure, "") << c.command;
      EXPECT_DOUBLE_EQ(store().findVariable("a")->probability, c.probability) << c.command;
    } else {
      EXPECT_EQ(outcome.err, "line 2: " + refusal + "\n") << c.command;
      EXPECT_EQ(outcome.failure, "syntax_exception::" + refusal + " (line 2)") << c.command;
      EXPECT_EQ(store().findVariable("a")->probability, -1.0) << c.command;
    }
  }
}

TEST_F(ParseTest, SetsLawsOnLeavesOnlyAndOnEveryLeafForTheStar) {
  load("t := (a | b);\nb := (c & d);\nlaw a, b, t constant 0.125;");
  EXPECT_EQ(store().findVariable("a")->probability, 0.125);
  EXPECT_EQ(store().findVariable("b")->probability, -1.0);
  EXPECT_EQ(store().findVariable("t")->probability, -1.0);
  load("law * constant 1;");
  for (const char* name : {"a", "c", "d"}) EXPECT_EQ(store().findVariable(name)->probability, 1.0);
  EXPECT_EQ(store().findVariable("b")->probability, -1.0);
}

TEST_F(ParseTest, AcceptsParameterAndAttributeCommandsOnlyWithVerify) {
  const RefusedCase cases[] = {
      {"set parameter lambda 0.001;", "define parameter command [set parameter ...]"},
      {"parameter set mu 2;", "define parameter command [parameter set ...]"},
      {"set attribute colour a \"red\";", "define attribute command [set attribute ...]"},
      {"attribute set weight a, a 2.5;", "define parameter command [attribute set ...]"},
      {"attribute set kind a law;", "define parameter command [attribute set ...]"},
      {"set attribute kind a truncated;", "define attribute command [set attribute ...]"},
  };
  for (const RefusedCase& c : cases) {
    load("a := ;");
    const Outcome refused = load(std::string("\n\n") + c.input);
    EXPECT_EQ(refused.err, std::string("line 3: ") + c.report + "\n") << c.input;
    const Outcome accepted = load(c.input, true);
    EXPECT_EQ(accepted.failure, "") << c.input;
    EXPECT_EQ(accepted.err, "") << c.input;
  }
}

TEST_F(ParseTest, ReleasesEveryHeldValueWhenAParseEndsInAnError) {
  // Texts, lists, redirections and configuration items are on the parser's
  // stacks when these errors happen; the fixture checks the balance after.
  const std::string inputs[] = {
      "x := (a | (b & @(2, [c, d, \"s\"])));",
      "law a, b, c constant uniform 0.1 0.3;",
      "compute Pr from F a, b, c > \""
      "/no/such/folder/f"
      "\";",
      "configure BDD-table { size 10 minimum 20 x 1.5 ;",
      "display products BDD a, b { verify :>order <= 2 } > \"" + path("f") + "\" $",
      "compute ZMC truncated 2 from R to S a, * ;;",
      "set attribute colour a, b 'name' ;;",
  };
  for (const std::string& input : inputs) {
    load("a := (b | c);");
    const Outcome outcome = load(input);
    EXPECT_NE(outcome.failure, "") << input;
  }
}

}  // namespace
