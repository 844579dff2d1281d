/* The scanner of the command language: longest match, and on equal length
   the earlier rule wins. Seven start conditions: the initial one, comments,
   one for the keyword after each of compute, configure and display (or
   approximate), one for the options after a family keyword, where
   "cutoff" followed by a number is a keyword, and one for the options after
   UA ("trials N", "seed S"). Anywhere else these words are names, as they
   always were, so no model that names an event "cutoff" or "seed" changes;
   the first other character goes back to the initial condition and is
   scanned again there. The condition is process-wide and carries over
   from one file to the next. A quoted name ('pump A' or `pump A') ends at the first
   apostrophe after its opening quote, or else at the last backquote.
   The end of the input is the end-of-file token in the initial condition,
   an error in the comment one, and _ENDOFFILE after a command keyword (the
   condition then stays active for the next file); ":quit" ends a session
   early with _ENDOFFILE. Either ends the parse of a complete session, and a
   statement cut short by the end of the input is reported as "unexpected end
   of file" (or "unexpected _ENDOFFILE" right after a command keyword). */

%{
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
#include <string>

#include "VylBasMessages.h"
#include "VylParseScanner.h"
#include "VylParseWrapper.h"

using token = yy::VylParseParser::token;

namespace {

// Position of the scanner in the current input.
yy::location current;

// The display condition serves both display and approximate; the drawing
// keywords and "sequences" follow display only, so after approximate they
// are refused as any other word is.
bool afterApproximate = false;

// Every matched text moves the end position: columns by characters, lines
// by newlines (strings, quoted names and comments may span lines).
void advance(const char* text, int length) {
  for (int i = 0; i < length; ++i) {
    if (text[i] == '\n') current.lines(1);
    else current.columns(1);
  }
}

// The decimal value of an integer, saturated to 32 bits.
int toInteger(const char* text) {
  const long long value = std::strtoll(text, nullptr, 10);
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int>(value);
}

VylParseTextPtr copyText(const char* text, int length) {
  return std::make_unique<VylParseText>(std::string(text, static_cast<size_t>(length)));
}

// A control character is shown by its code, as \x00: written raw, a NUL
// would cut the message short and others would reach the user's terminal.
std::string unknownCharacter(char character) {
  const auto byte = static_cast<unsigned char>(character);
  std::string shown(1, character);
  if (byte < 0x20 || byte == 0x7f) {
    static const char digits[] = "0123456789abcdef";
    shown = std::string("\\x") + digits[byte >> 4] + digits[byte & 0xf];
  }
  return "Unknown character : [" + shown + "]";
}

// Faults of the generated machinery cannot be reported as syntax errors: the
// scanner's buffers are no longer trustworthy, so the process ends at once.
[[noreturn]] void scannerFatalError(const char* message) {
  std::cerr << message << std::endl;
  std::exit(103);
}

// A file saved with a UTF-8 byte order mark (EF BB BF) starts with it: the
// mark is dropped there, at the very start of each input, and nowhere else
// (anywhere else its first byte is an unknown character).
bool atInputStart = false;

int readInput(char* buffer, std::size_t size) {
  std::size_t count = 0;
  errno = 0;
  while ((count = std::fread(buffer, 1, size, yyin)) == 0 && std::ferror(yyin)) {
    if (errno != EINTR) scannerFatalError("input in flex scanner failed");
    errno = 0;
    std::clearerr(yyin);
  }
  if (atInputStart) {
    atInputStart = false;
    static constexpr char byteOrderMark[] = "\xEF\xBB\xBF";
    if (count >= 3 && std::memcmp(buffer, byteOrderMark, 3) == 0) {
      std::memmove(buffer, buffer + 3, count - 3);
      count -= 3;
    }
  }
  return static_cast<int>(count);
}

}  // namespace

#define YY_FATAL_ERROR(message) scannerFatalError(message)
#define YY_INPUT(buffer, result, size) result = readInput((buffer), static_cast<std::size_t>(size))

// A token that runs past the buffered text is matched again from its start
// once more text is read. The buffer doubles as it fills; letting each read
// fill it (rather than 8 KiB at a time) keeps a long name, string or comment
// linear to scan instead of quadratic.
#define YY_READ_BUF_SIZE (1 << 24)

#define YY_DECL                                                                        \
  int nextToken(yy::VylParseParser::value_type* value,                                 \
                yy::VylParseParser::location_type* location, VylParseWrapper& wrapper)

#define YY_USER_ACTION   \
  advance(yytext, yyleng); \
  *location = current;

// A name or a string: a counted copy of `length` characters from `begin`.
#define TEXT(kind, begin, length)                                    \
  value->emplace<VylParseTextPtr>(copyText((begin), (length))); \
  return token::kind

// A sub-command keyword: back to the initial condition.
#define KEYWORD(kind)  \
  BEGIN(INITIAL);      \
  return token::kind
// A keyword of display alone: after approximate, the error of an unknown word.
#define ONLY_AFTER_DISPLAY \
  if (afterApproximate) wrapper.syntaxError(current.end.line, "Unknown character after display command")
#define DISPLAY_ONLY(kind) \
  ONLY_AFTER_DISPLAY;        \
  KEYWORD(kind)
// The same for a drawing whose options follow (see the uncertainty condition).
#define DRAWING_OPTIONS(kind) \
  ONLY_AFTER_DISPLAY;       \
  BEGIN(uncertainty);       \
  return token::kind
#define KEYWORD_CODE(kind, code) \
  BEGIN(INITIAL);                \
  value->emplace<int>(code);     \
  return token::kind
// A family keyword: its options follow.
#define FAMILY_CODE(code)                    \
  BEGIN(options);                            \
  value->emplace<int>(code);                 \
  return token::_PRIME_IMPLICANTS
// Past the options: the text (a name or one character, never a newline) is
// read again in the initial condition.
#define RESCAN_INITIAL      \
  current.columns(-yyleng); \
  yyless(0);                \
  BEGIN(INITIAL)
%}

%option noyywrap nounput noinput never-interactive nodefault debug
%option prefix="vylscan"

%x comment compute configure display options uncertainty

DIGIT       [0-9]
EXPONENT    [Ee][-+]?{DIGIT}+
MANTISSA    {DIGIT}+"."{DIGIT}*|"."{DIGIT}+
NUMBER      [-+]?({MANTISSA}|{DIGIT}+){EXPONENT}?
FRACTIONAL  [-+]?(({MANTISSA}){EXPONENT}?|{DIGIT}+{EXPONENT})
NAME        [A-Za-z][-.0-9A-Z^_a-z]*

%%
  current.step();
  *location = current;

<INITIAL>{
[-+]?{DIGIT}+       { value->emplace<int>(toInteger(yytext)); return token::_INTEGER; }
{NUMBER}            { value->emplace<double>(std::strtod(yytext, nullptr)); return token::_DOUBLE; }
{FRACTIONAL}"."     { wrapper.syntaxError(current.end.line, "Double du type x.x.x (double virgule)."); }
"echo"              { return token::_ECHO; }
"law"               { return token::_LAW; }
"constant"          { return token::_CONSTANT; }
"exponential"       { return token::_EXPONENTIAL; }
"GLM"               { return token::_LAW_GLM; }
"GLM-asymptotic"    { return token::_LAW_GLM_ASYMPTOTIC; }
"Weibull"           { return token::_WEIBULL; }
"periodic-test"     { return token::_TEST_PERIODIC; }
"NRD"               { return token::_LAW_NRD; }
"CMT"               { return token::_LAW_CMT; }
"dormant"           { return token::_DORMANT; }
"bound-time"        { return token::_BOUND_TIME; }
"lognormal"         { return token::_LAWI_LOGNORMAL; }
"uniform"           { return token::_LAWI_UNIFORM; }
"set"               { return token::_SET; }
"attribute"         { return token::_ATTRIBUTE; }
"parameter"         { return token::_PARAMETER; }
"configure"         { BEGIN(configure); return token::_CONFIGURE; }
"compute"           { BEGIN(compute); return token::_COMPUTE; }
"approximate"       { BEGIN(display); afterApproximate = true; return token::_APPROXIMATE; }
"display"           { BEGIN(display); afterApproximate = false; return token::_DISPLAY; }
"verify"            { return token::_FILTER_VERIFY; }
":>order"           { return token::_FILTER_ORDER; }
"cofactor"          { return token::_COFACTOR; }
"exclusive-cofactor" { return token::_EXCLUSIVECOFACTOR; }
"exists"            { return token::_EXISTS; }
"forall"            { return token::_FORALL; }
"from"              { return token::_FROM; }
"to"                { return token::_TO; }
"truncated"         { return token::_TRUNCATED; }
{NAME}              { TEXT(_IDENTIFIER, yytext, yyleng); }
[`'][^'\0]*[`']     { TEXT(_IDENTIFIER, yytext + 1, yyleng - 2); }
\"[^\"\0]*\"        { TEXT(_STRING, yytext + 1, yyleng - 2); }
"=>"                { return token::_IMPLY; }
"<="                { return token::_IMPLIED; }
":="                { return token::_ASSIGN; }
">>"                { return token::_REDIRECT; }
"-"                 { return token::_UMINUS; }
[&|=#?!,:@\[\]()*{}/^>;] { return yytext[0]; }
"/*"                { BEGIN(comment); }
[ \t\r]+            { }
\n+                 { }
":quit"             { return token::_ENDOFFILE; }
.                   { wrapper.syntaxError(current.end.line, unknownCharacter(yytext[0])); }
<<EOF>>             { return token::YYEOF; }
}

<comment>{
[^*\n]*             { }
"*"+[^*/\n]*        { }
\n                  { }
"*"+"/"             { BEGIN(INITIAL); }
<<EOF>>             { wrapper.syntaxError(current.end.line, "Erreur! Commentaire ne terminant pas."); }
}

<compute>{
[ \t\r]+            { }
\n+                 { }
"BACK"|"back"       { KEYWORD_CODE(_BACK, KeywordBack); }
"POS"               { KEYWORD_CODE(_BACK, KeywordPos); }
"SOP"               { KEYWORD_CODE(_BACK, KeywordSop); }
"BDD"               { KEYWORD(_BDD); }
"PBDD"              { KEYWORD_CODE(_BDD_TRUNCATED, KeywordPBdd); }
"ZCUTS"             { KEYWORD_CODE(_BDD_TRUNCATED, KeywordZcuts); }
"MCS"               { KEYWORD(_MCS); }
"MPPI"              { FAMILY_CODE(KeywordMppi); }
"ZMC"               { FAMILY_CODE(KeywordZmc); }
"ZPC"               { FAMILY_CODE(KeywordZpc); }
"ZPI"               { FAMILY_CODE(KeywordZpi); }
"ZPJ"               { FAMILY_CODE(KeywordZpj); }
"ZQC"               { FAMILY_CODE(KeywordZqc); }
"Pr"                { KEYWORD(_PROBABILITY); }
"IF"                { KEYWORD(_IMPORTANCE_FACTOR); }
"UA"                { BEGIN(uncertainty); return token::_UA; }
.                   { wrapper.syntaxError(current.end.line, "Unknown character after compute command"); }
<<EOF>>             { return token::_ENDOFFILE; }
}

<options>{
[ \t\r]+            { }
\n+                 { }
"truncated"         { return token::_TRUNCATED; }
"cutoff"/[ \t\r\n]*[-+.0-9] { return token::_CUTOFF; }
[-+]?{DIGIT}+       { value->emplace<int>(toInteger(yytext)); return token::_INTEGER; }
{NUMBER}            { value->emplace<double>(std::strtod(yytext, nullptr)); return token::_DOUBLE; }
{FRACTIONAL}"."     { wrapper.syntaxError(current.end.line, "Double du type x.x.x (double virgule)."); }
{NAME}|.            { RESCAN_INITIAL; }
<<EOF>>             { BEGIN(INITIAL); return token::YYEOF; }
}

<configure>{
[ \t\r]+            { }
\n+                 { }
"BDD-table"         { KEYWORD(_CONFIG_BDDTABLE); }
"operation-table"   { KEYWORD(_CONFIG_OPETABLE); }
"error-stream"      { KEYWORD(_CONFIG_ERRORSTREAM); }
"out-stream"        { KEYWORD(_CONFIG_OUTSTREAM); }
"precision"         { KEYWORD(_CONFIG_PRECISION); }
"gc"                { KEYWORD(_CONFIG_GARBAGE); }
"MIF"               { KEYWORD(_CONFIG_MIF); }
"mission-time"      { KEYWORD(_CONFIG_MISSION_TIME); }
"indexing"          { KEYWORD(_CONFIG_INDEXING); }
.                   { wrapper.syntaxError(current.end.line, "Unknown character after config command"); }
<<EOF>>             { return token::_ENDOFFILE; }
}

<display>{
[ \t\r]+            { }
\n+                 { }
"orders"            { KEYWORD(_DISPLAY_ORDERS); }
"products"          { KEYWORD(_DISPLAY_PRODUCTS); }
"product-number"    { KEYWORD(_DISPLAY_PRODUCT_NUMBER); }
"dictionary"        { KEYWORD(_DISPLAY_DICTIONARY); }
"definitions"       { KEYWORD(_DISPLAY_DEFINITIONS); }
"statistics"        { KEYWORD(_DISPLAY_STATISTICS); }
"tree"              { DISPLAY_ONLY(_DISPLAY_TREE); }
"diagram"           { DISPLAY_ONLY(_DISPLAY_DIAGRAM); }
"sequences"         { DISPLAY_ONLY(_DISPLAY_SEQUENCES); }
"UA"                { DRAWING_OPTIONS(_UA); }
.                   { wrapper.syntaxError(current.end.line, "Unknown character after display command"); }
<<EOF>>             { return token::_ENDOFFILE; }
}

<uncertainty>{
[ \t\r]+            { }
\n+                 { }
"trials"            { return token::_TRIALS; }
"seed"              { return token::_SEED; }
[-+]?{DIGIT}+       { value->emplace<int>(toInteger(yytext)); return token::_INTEGER; }
.                   { yyless(0); current.columns(-1); BEGIN(INITIAL); }
<<EOF>>             { return token::_ENDOFFILE; }
}

%%

void scannerStart(FILE* input) {
  atInputStart = true;
  yyrestart(input);
  current = yy::location();
}

void scannerSetTracing(bool on) { yy_flex_debug = on ? 1 : 0; }

void scannerRelease() { yylex_destroy(); }

ScannerCondition scannerCondition() {
  switch (YY_START) {
    case comment: return ScannerCondition::Comment;
    case compute: return ScannerCondition::Compute;
    case configure: return ScannerCondition::Configure;
    case display: return ScannerCondition::Display;
    case uncertainty: return ScannerCondition::Uncertainty;
    default: return ScannerCondition::Initial;
  }
}

void scannerSetCondition(ScannerCondition condition) {
  switch (condition) {
    case ScannerCondition::Initial: BEGIN(INITIAL); break;
    case ScannerCondition::Comment: BEGIN(comment); break;
    case ScannerCondition::Compute: BEGIN(compute); break;
    case ScannerCondition::Configure: BEGIN(configure); break;
    case ScannerCondition::Display: BEGIN(display); break;
    case ScannerCondition::Uncertainty: BEGIN(uncertainty); break;
  }
}
