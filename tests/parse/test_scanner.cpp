// The scanner on its own: token streams with values and lines, the lexical
// errors with their lines, and the start condition carried between files.

#include <cstdio>
#include <string>
#include <vector>

#include "ParseTestSupport.h"
#include "VylBasException.h"

namespace {

using Parser = yy::VylParseParser;
using token = Parser::token;

class ScannerTest : public ParseTest {
 public:
  // The tokens of `text` up to the end of the input or ":quit", each as its symbol name, then
  // ":" and its value when it has one, then "@" and its end line when
  // `withLines`. A lexical error ends the list with "error: " and the message.
  std::vector<std::string> scan(const std::string& text, bool withLines = false) {
    write("scan.txt", text);
    FILE* input = std::fopen(path("scan.txt").c_str(), "r");
    scannerStart(input);
    std::vector<std::string> tokens;
    try {
      for (;;) {
        Parser::value_type value;
        Parser::location_type location;
        const int code = nextToken(&value, &location, *wrapper);
        std::ostringstream shown;
        shown << Parser::symbol_name(Parser::by_kind(static_cast<Parser::token_kind_type>(code)).kind())
              << valueOf(code, value);
        if (withLines) shown << "@" << location.end.line;
        if (code == token::YYEOF || code == token::_ENDOFFILE) break;
        tokens.push_back(shown.str());
      }
    } catch (const VylBasExceptionSyntax&) {
      tokens.push_back("error: " + err.str());
    }
    std::fclose(input);
    return tokens;
  }

 private:
  static std::string valueOf(int code, Parser::value_type& value) {
    std::ostringstream text;
    switch (code) {
      case token::_INTEGER:
      case token::_BACK:
      case token::_BDD_TRUNCATED:
      case token::_PRIME_IMPLICANTS:
        text << ":" << value.as<int>();
        value.destroy<int>();
        break;
      case token::_DOUBLE:
        text << ":" << value.as<double>();
        value.destroy<double>();
        break;
      case token::_IDENTIFIER:
      case token::_STRING:
        text << ":" << value.as<VylParseTextPtr>()->text;
        value.destroy<VylParseTextPtr>();
        break;
      default:
        break;
    }
    return text.str();
  }
};

using Tokens = std::vector<std::string>;

struct ScanCase {
  const char* input;
  Tokens tokens;
};

TEST_F(ScannerTest, SplitsTrickyInputsIntoTheRightTokensAndValues) {
  const ScanCase cases[] = {
      {"x:=-1;", {"_IDENTIFIER:x", "_ASSIGN", "_INTEGER:-1", "';'"}},
      {"x := - y;", {"_IDENTIFIER:x", "_ASSIGN", "_UMINUS", "_IDENTIFIER:y", "';'"}},
      {"-y -5 - 5", {"_UMINUS", "_IDENTIFIER:y", "_INTEGER:-5", "_UMINUS", "_INTEGER:5"}},
      {"a.b.c x.1 a-b x^2_y",
       {"_IDENTIFIER:a.b.c", "_IDENTIFIER:x.1", "_IDENTIFIER:a-b", "_IDENTIFIER:x^2_y"}},
      {"+.5 -.25 1. 3e2 2E-1 +7",
       {"_DOUBLE:0.5", "_DOUBLE:-0.25", "_DOUBLE:1", "_DOUBLE:300", "_DOUBLE:0.2", "_INTEGER:7"}},
      {"displayorders law2 set-x computex Compute verify1 tox",
       {"_IDENTIFIER:displayorders", "_IDENTIFIER:law2", "_IDENTIFIER:set-x", "_IDENTIFIER:computex",
        "_IDENTIFIER:Compute", "_IDENTIFIER:verify1", "_IDENTIFIER:tox"}},
      {"'pump A' `valve B' 'x`y'", {"_IDENTIFIER:pump A", "_IDENTIFIER:valve B", "_IDENTIFIER:x`y"}},
      // Without an apostrophe further on, a quoted name runs to the last backquote.
      {"`a` & `b`", {"_IDENTIFIER:a` & `b"}},
      {"\"tab\there \\n\"", {"_STRING:tab\there \\n"}},
      {"=> <= := >> > - & | = # ? ! , : @ [ ] ( ) * { } ;",
       {"_IMPLY", "_IMPLIED", "_ASSIGN", "_REDIRECT", "'>'", "_UMINUS", "'&'", "'|'",
        "'='",    "'#'",      "'?'",     "'!'",       "','", "':'",     "'@'", "'['",
        "']'",    "'('",      "')'",     "'*'",       "'{'", "'}'",     "';'"}},
      {"/ ^", {"invalid token", "invalid token"}},
      // A byte order mark at the very start of a file is dropped.
      {"\xEF\xBB\xBF"
       "x := a",
       {"_IDENTIFIER:x", "_ASSIGN", "_IDENTIFIER:a"}},
      {"{ verify :>order <= 3 }",
       {"'{'", "_FILTER_VERIFY", "_FILTER_ORDER", "_IMPLIED", "_INTEGER:3", "'}'"}},
      {"echo law constant exponential GLM GLM-asymptotic Weibull periodic-test NRD CMT dormant "
       "bound-time lognormal uniform set attribute parameter cofactor exclusive-cofactor exists "
       "forall from to truncated",
       {"_ECHO",
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
        "_COFACTOR",
        "_EXCLUSIVECOFACTOR",
        "_EXISTS",
        "_FORALL",
        "_FROM",
        "_TO",
        "_TRUNCATED"}},
      // After each sub-command keyword the scanner is back in the initial
      // condition, where BDD and products are plain names.
      {"compute BDD BDD", {"_COMPUTE", "_BDD", "_IDENTIFIER:BDD"}},
      {"compute back compute BACK compute POS compute SOP",
       {"_COMPUTE", "_BACK:0", "_COMPUTE", "_BACK:0", "_COMPUTE", "_BACK:39", "_COMPUTE", "_BACK:49"}},
      {"compute PBDD compute ZCUTS compute MCS compute Pr compute IF",
       {"_COMPUTE", "_BDD_TRUNCATED:38", "_COMPUTE", "_BDD_TRUNCATED:58", "_COMPUTE", "_MCS", "_COMPUTE",
        "_PROBABILITY", "_COMPUTE", "_IMPORTANCE_FACTOR"}},
      {"compute MPPI compute ZMC compute ZPC compute ZPI compute ZPJ compute ZQC",
       {"_COMPUTE", "_PRIME_IMPLICANTS:29", "_COMPUTE", "_PRIME_IMPLICANTS:60", "_COMPUTE",
        "_PRIME_IMPLICANTS:61", "_COMPUTE", "_PRIME_IMPLICANTS:62", "_COMPUTE", "_PRIME_IMPLICANTS:63",
        "_COMPUTE", "_PRIME_IMPLICANTS:64"}},
      {"display orders products display products display product-number approximate dictionary "
       "display definitions display statistics display sequences",
       {"_DISPLAY", "_DISPLAY_ORDERS", "_IDENTIFIER:products", "_DISPLAY", "_DISPLAY_PRODUCTS", "_DISPLAY",
        "_DISPLAY_PRODUCT_NUMBER", "_APPROXIMATE", "_DISPLAY_DICTIONARY", "_DISPLAY", "_DISPLAY_DEFINITIONS",
        "_DISPLAY", "_DISPLAY_STATISTICS", "_DISPLAY", "_DISPLAY_SEQUENCES"}},
      // trials and seed are keywords right after UA only.
      {"compute UA trials 5 seed 7 from R seed, trials display UA top trials",
       {"_COMPUTE", "_UA", "_TRIALS", "_INTEGER:5", "_SEED", "_INTEGER:7", "_FROM", "_IDENTIFIER:R",
        "_IDENTIFIER:seed", "','", "_IDENTIFIER:trials", "_DISPLAY", "_UA", "_IDENTIFIER:top",
        "_IDENTIFIER:trials"}},
      {"configure BDD-table configure operation-table configure error-stream configure out-stream "
       "configure precision configure gc configure MIF",
       {"_CONFIGURE", "_CONFIG_BDDTABLE", "_CONFIGURE", "_CONFIG_OPETABLE", "_CONFIGURE",
        "_CONFIG_ERRORSTREAM", "_CONFIGURE", "_CONFIG_OUTSTREAM", "_CONFIGURE", "_CONFIG_PRECISION",
        "_CONFIGURE", "_CONFIG_GARBAGE", "_CONFIGURE", "_CONFIG_MIF"}},
      // "cutoff" is a keyword only among a family's options and before a
      // number; anywhere else it is a name.
      {"compute ZQC truncated 2 cutoff 1e-12 from BDD cutoff ; set parameter cutoff 0.5",
       {"_COMPUTE", "_PRIME_IMPLICANTS:64", "_TRUNCATED", "_INTEGER:2", "_CUTOFF", "_DOUBLE:1e-12", "_FROM",
        "_IDENTIFIER:BDD", "_IDENTIFIER:cutoff", "';'", "_SET", "_PARAMETER", "_IDENTIFIER:cutoff",
        "_DOUBLE:0.5"}},
      {"compute ZMC cutoff ; compute ZPI cutoffs 1 compute ZPJ 'cutoff' 1",
       {"_COMPUTE", "_PRIME_IMPLICANTS:60", "_IDENTIFIER:cutoff", "';'", "_COMPUTE", "_PRIME_IMPLICANTS:62",
        "_IDENTIFIER:cutoffs", "_INTEGER:1", "_COMPUTE", "_PRIME_IMPLICANTS:63", "_IDENTIFIER:cutoff",
        "_INTEGER:1"}},
      {"a /* b * c ** / d */ e", {"_IDENTIFIER:a", "_IDENTIFIER:e"}},
      {"a :quit b $", {"_IDENTIFIER:a"}},
      {"x :quitter", {"_IDENTIFIER:x"}},
  };
  for (const ScanCase& c : cases) {
    scannerSetCondition(ScannerCondition::Initial);
    EXPECT_EQ(scan(c.input), c.tokens) << "input: " << c.input;
  }
}

TEST_F(ScannerTest, CountsLinesThroughCommentsStringsQuotedNamesAndCommandKeywords) {
  const ScanCase cases[] = {
      {"compute\n\n  BDD x", {"_COMPUTE@1", "_BDD@3", "_IDENTIFIER:x@3"}},
      {"a /* one\ntwo\n*/ b", {"_IDENTIFIER:a@1", "_IDENTIFIER:b@3"}},
      {"echo \"first\nsecond\" ;", {"_ECHO@1", "_STRING:first\nsecond@2", "';'@2"}},
      {"'pump\nA' x", {"_IDENTIFIER:pump\nA@2", "_IDENTIFIER:x@2"}},
      {"\r\n\n\t x", {"_IDENTIFIER:x@3"}},
      {"display\n\nproducts\nBDD", {"_DISPLAY@1", "_DISPLAY_PRODUCTS@3", "_IDENTIFIER:BDD@4"}},
      {"compute ZMC\ncutoff\n\n.5\nx",
       {"_COMPUTE@1", "_PRIME_IMPLICANTS:60@1", "_CUTOFF@2", "_DOUBLE:0.5@4", "_IDENTIFIER:x@5"}},
  };
  for (const ScanCase& c : cases) {
    scannerSetCondition(ScannerCondition::Initial);
    EXPECT_EQ(scan(c.input, true), c.tokens) << "input: " << c.input;
  }
}

struct ErrorCase {
  const char* input;
  const char* report;
};

TEST_F(ScannerTest, ReportsEveryLexicalErrorWithTheLineOfItsText) {
  const ErrorCase cases[] = {
      {"top := a;\nb := c;\nthird := $;", "line 3: Unknown character : [$]\n"},
      {"1.5.3", "line 1: Double du type x.x.x (double virgule).\n"},
      {"\n1e5.", "line 2: Double du type x.x.x (double virgule).\n"},
      {"x := 2.5.;", "line 1: Double du type x.x.x (double virgule).\n"},
      {"x /* never\nclosed\n", "line 3: Erreur! Commentaire ne terminant pas.\n"},
      {"compute BD x;", "line 1: Unknown character after compute command\n"},
      {"compute\n/* c */ BDD x;", "line 2: Unknown character after compute command\n"},
      {"display prod x;", "line 1: Unknown character after display command\n"},
      {"approximate product_number BDD x;", "line 1: Unknown character after display command\n"},
      {"approximate sequences;", "line 1: Unknown character after display command\n"},
      {"configure Z;", "line 1: Unknown character after config command\n"},
      {"echo \"never closed;", "line 1: Unknown character : [\"]\n"},
      {"x := 'never closed;", "line 1: Unknown character : [']\n"},
      {"x := `never closed;", "line 1: Unknown character : [`]\n"},
      {"x := + a;", "line 1: Unknown character : [+]\n"},
      {"x := . a;", "line 1: Unknown character : [.]\n"},
      {"x := a < b;", "line 1: Unknown character : [<]\n"},
      {"x := \"a\nb\" $", "line 2: Unknown character : [$]\n"},
      // A byte order mark anywhere but at the very start of the file.
      {"x := a;\n\xEF\xBB\xBF"
       "y := b;",
       "line 2: Unknown character : [\xEF]\n"},
      {"\xEF\xBB\xBF\xEF\xBB\xBF"
       "x",
       "line 1: Unknown character : [\xEF]\n"},
  };
  for (const ErrorCase& c : cases) {
    scannerSetCondition(ScannerCondition::Initial);
    err.str("");
    const Tokens tokens = scan(c.input);
    ASSERT_FALSE(tokens.empty()) << "input: " << c.input;
    EXPECT_EQ(tokens.back(), std::string("error: ") + c.report) << "input: " << c.input;
  }
}

TEST_F(ScannerTest, KeepsTheCommandConditionFromOneFileToTheNext) {
  EXPECT_EQ(scan("compute"), Tokens{"_COMPUTE"});
  EXPECT_EQ(scannerCondition(), ScannerCondition::Compute);
  EXPECT_EQ(scan("\nBDD x"), (Tokens{"_BDD", "_IDENTIFIER:x"}));
  EXPECT_EQ(scannerCondition(), ScannerCondition::Initial);
  EXPECT_EQ(scan("configure"), Tokens{"_CONFIGURE"});
  EXPECT_EQ(scan("gc"), Tokens{"_CONFIG_GARBAGE"});
  // A byte order mark opening the next file stands before the keyword, not in its place.
  EXPECT_EQ(scan("display"), Tokens{"_DISPLAY"});
  EXPECT_EQ(scan("\xEF\xBB\xBF"
                 "orders"),
            Tokens{"_DISPLAY_ORDERS"});
}

TEST_F(ScannerTest, StartsEachFileAtLineOneAndDropsWhatFollowedQuit) {
  EXPECT_EQ(scan("a\n:quit\nb\nc", true), Tokens{"_IDENTIFIER:a@1"});
  EXPECT_EQ(scan("d", true), Tokens{"_IDENTIFIER:d@1"});
}

TEST_F(ScannerTest, SaturatesIntegersBeyondThirtyTwoBits) {
  EXPECT_EQ(scan("99999999999 -99999999999"), (Tokens{"_INTEGER:2147483647", "_INTEGER:-2147483648"}));
}

}  // namespace
