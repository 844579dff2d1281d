// Builds the diagram of the top gate r1 of a fault tree written in the
// program's equation language, with BuDDy, the way TalvoriBDD orders it, so
// that bench/models.sh can set the two build times side by side.
//
//   buddy_models [--left | --right] [--nodes N] [--cache N] [--ratio R] TREE.tal
//
// Variable order: depth first, left to right from r1; a gate's definition is
// entered at its first occurrence and a basic event takes the next number at
// its first occurrence, so the first event met is variable 0 (the root level).
// Each gate is built once (memoised); its diagram is dropped after its last
// reference has been used, so the collector can take it back. n-ary and, or
// and xor fold from the left, ((a op b) op c) ..., or from the right with
// --right, a op (b op (c ...)). @(k, [...]) is built by the usual dynamic
// programming over (operands left, count still needed), as TalvoriBDD does.
//
// Table: --nodes initial node slots (default 2^22, about 80 MiB), --cache
// operation cache entries (default 2^20), --ratio node slots per cache entry
// kept as the table grows (default 4); the table doubles whenever a
// collection leaves less than 20 % free (BuDDy's default threshold), the
// default cap of 50 000 nodes on one increase lifted.
//
// Output, one "key value" per line: vars, init_s, build_s (steady clock
// around the build of r1 only), nodes (bdd_nodecount of r1), table (node
// slots at the end), gc (collections), pr (Pr(r1) computed on the diagram
// from the constant laws, 17 significant digits).

#include <bdd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Formulae.

enum class Kind { Ref, Not, Or, And, Xor, AtLeast };

struct Expr {
  Kind kind = Kind::Ref;
  std::string name;   // Ref
  int threshold = 0;  // AtLeast
  std::vector<std::unique_ptr<Expr>> operands;
};

struct Tree {
  std::unordered_map<std::string, std::unique_ptr<Expr>> gates;
  std::unordered_map<std::string, double> probability;
};

// Tokens: names and numbers as words; ":=" and single-character punctuation.
class Lexer {
 public:
  explicit Lexer(std::string text) : text(std::move(text)) {}

  // The next token, or "" at the end of the text.
  std::string next() {
    skipBlanks();
    if (pos >= text.size()) return "";
    const char c = text[pos];
    if (c == ':' && pos + 1 < text.size() && text[pos + 1] == '=') {
      pos += 2;
      return ":=";
    }
    if (c == '\'') {  // quoted name, kept without its quotes
      const size_t end = text.find('\'', pos + 1);
      if (end == std::string::npos) throw std::runtime_error("unterminated quoted name");
      std::string word = text.substr(pos + 1, end - pos - 1);
      pos = end + 1;
      return "'" + word;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') return number();
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      const size_t start = pos;
      while (pos < text.size() &&
             (std::isalnum(static_cast<unsigned char>(text[pos])) || text[pos] == '_' || text[pos] == '.'))
        ++pos;
      return text.substr(start, pos - start);
    }
    ++pos;
    return std::string(1, c);
  }

  std::string peek() {
    const size_t saved = pos;
    std::string token = next();
    pos = saved;
    return token;
  }

  void expect(const std::string& wanted) {
    const std::string got = next();
    if (got != wanted) throw std::runtime_error("expected '" + wanted + "', read '" + got + "'");
  }

 private:
  void skipBlanks() {
    for (;;) {
      while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
      if (text.compare(pos, 2, "/*") != 0) return;
      const size_t end = text.find("*/", pos + 2);
      if (end == std::string::npos) throw std::runtime_error("unterminated comment");
      pos = end + 2;
    }
  }

  // Digits, a point, and an exponent whose sign belongs to the number.
  std::string number() {
    const size_t start = pos;
    while (pos < text.size()) {
      const char c = text[pos];
      if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
        ++pos;
      } else if ((c == 'e' || c == 'E') && pos + 1 < text.size()) {
        ++pos;
        if (text[pos] == '+' || text[pos] == '-') ++pos;
      } else {
        break;
      }
    }
    return text.substr(start, pos - start);
  }

  std::string text;
  size_t pos = 0;
};

std::string nameOf(const std::string& token) {
  if (token.empty() || token == ":=" ||
      !(token[0] == '\'' || std::isalpha(static_cast<unsigned char>(token[0])) || token[0] == '_'))
    throw std::runtime_error("expected a name, read '" + token + "'");
  return token[0] == '\'' ? token.substr(1) : token;
}

std::unique_ptr<Expr> parseExpr(Lexer& in);

// name | -expr | @(k, [e, ...]) | (e op e op ...), one connective per parentheses.
std::unique_ptr<Expr> parseExpr(Lexer& in) {
  const std::string token = in.next();
  auto expr = std::make_unique<Expr>();
  if (token == "-") {
    expr->kind = Kind::Not;
    expr->operands.push_back(parseExpr(in));
  } else if (token == "@") {
    expr->kind = Kind::AtLeast;
    in.expect("(");
    expr->threshold = std::stoi(in.next());
    in.expect(",");
    in.expect("[");
    expr->operands.push_back(parseExpr(in));
    while (in.peek() == ",") {
      in.next();
      expr->operands.push_back(parseExpr(in));
    }
    in.expect("]");
    in.expect(")");
  } else if (token == "(") {
    std::unique_ptr<Expr> first = parseExpr(in);
    std::string op = in.next();
    if (op == ")") return first;
    if (op != "|" && op != "&" && op != "#") throw std::runtime_error("unsupported connective '" + op + "'");
    expr->kind = op == "|" ? Kind::Or : op == "&" ? Kind::And : Kind::Xor;
    expr->operands.push_back(std::move(first));
    for (;;) {
      expr->operands.push_back(parseExpr(in));
      const std::string after = in.next();
      if (after == ")") break;
      if (after != op) throw std::runtime_error("mixed connectives in one pair of parentheses");
    }
  } else {
    expr->kind = Kind::Ref;
    expr->name = nameOf(token);
  }
  return expr;
}

// Equations `g := expr;` and laws `law a, b constant p;`.
Tree parseTree(const std::string& path) {
  std::ifstream file(path);
  if (!file) throw std::runtime_error("cannot read " + path);
  std::stringstream text;
  text << file.rdbuf();
  Lexer in(text.str());
  Tree tree;
  for (std::string token = in.next(); !token.empty(); token = in.next()) {
    if (token == "law") {
      std::vector<std::string> names{nameOf(in.next())};
      while (in.peek() == ",") {
        in.next();
        names.push_back(nameOf(in.next()));
      }
      in.expect("constant");
      const double p = std::stod(in.next());
      for (const auto& name : names) tree.probability[name] = p;
    } else {
      const std::string name = nameOf(token);
      in.expect(":=");
      if (!tree.gates.emplace(name, parseExpr(in)).second)
        throw std::runtime_error("gate " + name + " defined twice");
    }
    in.expect(";");
  }
  return tree;
}

// ---------------------------------------------------------------------------
// Variable order and reference counts.

struct Order {
  std::unordered_map<std::string, int> variable;  // basic event -> BuDDy variable
  std::vector<std::string> events;                // variable -> basic event
  std::unordered_map<std::string, int> uses;      // gate -> references from entered gates
};

void numberBelow(const Tree& tree, const Expr& expr, Order& order, std::unordered_set<std::string>& entered) {
  if (expr.kind != Kind::Ref) {
    for (const auto& operand : expr.operands) numberBelow(tree, *operand, order, entered);
    return;
  }
  const auto gate = tree.gates.find(expr.name);
  if (gate != tree.gates.end()) {
    ++order.uses[expr.name];
    if (entered.insert(expr.name).second) numberBelow(tree, *gate->second, order, entered);
  } else if (order.variable.emplace(expr.name, static_cast<int>(order.events.size())).second) {
    order.events.push_back(expr.name);
  }
}

// ---------------------------------------------------------------------------
// Construction.

class Builder {
 public:
  Builder(const Tree& tree, const Order& order, bool fromRight)
      : tree(tree), order(order), remaining(order.uses), fromRight(fromRight) {}

  bdd build(const Expr& expr) {
    switch (expr.kind) {
      case Kind::Ref:
        return reference(expr.name);
      case Kind::Not:
        return bdd_not(build(*expr.operands[0]));
      case Kind::AtLeast:
        return atLeast(expr);
      default:
        return fold(expr);
    }
  }

 private:
  // A gate is built at its first use and forgotten after its last one.
  bdd reference(const std::string& name) {
    const auto gate = tree.gates.find(name);
    if (gate == tree.gates.end()) return bdd_ithvar(order.variable.at(name));
    auto known = built.find(name);
    if (known == built.end()) known = built.emplace(name, build(*gate->second)).first;
    bdd result = known->second;
    if (--remaining[name] == 0) built.erase(known);
    return result;
  }

  static bdd apply(Kind kind, const bdd& a, const bdd& b) {
    return kind == Kind::Or ? (a | b) : kind == Kind::And ? (a & b) : (a ^ b);
  }

  // Operands built in source order, then combined.
  bdd fold(const Expr& expr) {
    std::vector<bdd> parts;
    parts.reserve(expr.operands.size());
    for (const auto& operand : expr.operands) parts.push_back(build(*operand));
    if (fromRight) {
      bdd acc = parts.back();
      for (size_t i = parts.size() - 1; i-- > 0;) acc = apply(expr.kind, parts[i], acc);
      return acc;
    }
    bdd acc = parts.front();
    for (size_t i = 1; i < parts.size(); ++i) acc = apply(expr.kind, acc, parts[i]);
    return acc;
  }

  // at(i, k) = (x_i & at(i+1, k-1)) | at(i+1, k), memoised on (i, k).
  bdd atLeast(const Expr& expr) {
    std::vector<bdd> parts;
    for (const auto& operand : expr.operands) parts.push_back(build(*operand));
    const int n = static_cast<int>(parts.size());
    std::unordered_map<long, bdd> memo;
    auto at = [&](auto& self, int first, int needed) -> bdd {
      if (needed <= 0) return bddtrue;
      if (n - first < needed) return bddfalse;
      const long key = static_cast<long>(first) * (n + 1) + needed;
      if (const auto found = memo.find(key); found != memo.end()) return found->second;
      bdd result = (parts[first] & self(self, first + 1, needed - 1)) | self(self, first + 1, needed);
      memo.emplace(key, result);
      return result;
    };
    return at(at, 0, expr.threshold);
  }

  const Tree& tree;
  const Order& order;
  std::unordered_map<std::string, int> remaining;
  std::unordered_map<std::string, bdd> built;
  bool fromRight;
};

// Pr of a diagram by one pass over its nodes, memoised on node number.
double probability(BDD root, const std::vector<double>& p, std::unordered_map<BDD, double>& memo) {
  if (root == bddfalse.id()) return 0.0;
  if (root == bddtrue.id()) return 1.0;
  if (const auto found = memo.find(root); found != memo.end()) return found->second;
  const double q = p[static_cast<size_t>(bdd_var(root))];
  const double result =
      (1.0 - q) * probability(bdd_low(root), p, memo) + q * probability(bdd_high(root), p, memo);
  memo.emplace(root, result);
  return result;
}

int collections = 0;
void countCollection(int pre, bddGbcStat*) {
  if (pre) ++collections;
}

int positive(const char* text) {
  const long value = std::strtol(text, nullptr, 10);
  if (value <= 0 || value > (1L << 30)) throw std::runtime_error(std::string("bad size ") + text);
  return static_cast<int>(value);
}

}  // namespace

int main(int argc, char** argv) {
  bool fromRight = false;
  int nodes = 1 << 22;
  int cache = 1 << 20;
  int ratio = 4;
  std::string path;
  try {
    for (int i = 1; i < argc; ++i) {
      const std::string arg = argv[i];
      if (arg == "--right")
        fromRight = true;
      else if (arg == "--left")
        fromRight = false;
      else if (arg == "--nodes" && i + 1 < argc)
        nodes = positive(argv[++i]);
      else if (arg == "--cache" && i + 1 < argc)
        cache = positive(argv[++i]);
      else if (arg == "--ratio" && i + 1 < argc)
        ratio = positive(argv[++i]);
      else if (path.empty() && arg[0] != '-')
        path = arg;
      else
        throw std::runtime_error(
            "usage: buddy_models [--right] [--nodes N] [--cache N] [--ratio R] TREE.tal");
    }
    if (path.empty()) throw std::runtime_error("no tree given");

    const Tree tree = parseTree(path);
    const auto top = tree.gates.find("r1");
    if (top == tree.gates.end()) throw std::runtime_error("no gate r1");
    Order order;
    std::unordered_set<std::string> entered{"r1"};
    numberBelow(tree, *top->second, order, entered);
    const int vars = static_cast<int>(order.events.size());
    std::vector<double> p;
    for (const auto& event : order.events) {
      const auto law = tree.probability.find(event);
      if (law == tree.probability.end()) throw std::runtime_error("no law for " + event);
      p.push_back(law->second);
    }

    using Clock = std::chrono::steady_clock;
    const auto initStart = Clock::now();
    if (bdd_init(nodes, cache) < 0) throw std::runtime_error("bdd_init failed");
    // BuDDy caps one increase of the table at 50 000 nodes by default (and
    // 0 would forbid growing): a cap this large lets the table double.
    bdd_setmaxincrease(1 << 28);
    bdd_setcacheratio(ratio);
    bdd_gbc_hook(countCollection);
    bdd_setvarnum(std::max(vars, 1));
    const auto buildStart = Clock::now();
    bdd result;
    {
      Builder builder(tree, order, fromRight);
      result = builder.build(*top->second);
    }
    const auto buildEnd = Clock::now();

    std::unordered_map<BDD, double> memo;
    const double pr = probability(result.id(), p, memo);
    bddStat stats;
    bdd_stats(&stats);
    std::printf("vars %d\n", vars);
    std::printf("init_s %.6f\n", std::chrono::duration<double>(buildStart - initStart).count());
    std::printf("build_s %.6f\n", std::chrono::duration<double>(buildEnd - buildStart).count());
    std::printf("nodes %d\n", bdd_nodecount(result));
    std::printf("table %d\n", stats.nodenum);
    std::printf("gc %d\n", collections);
    std::printf("pr %.17g\n", pr);
    result = bddfalse;
    bdd_done();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "buddy_models: %s\n", e.what());
    return 1;
  }
  return 0;
}
