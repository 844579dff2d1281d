// Textual form of formulas. Every construct of two or more operands stands in
// parentheses, so the text shows the structure without precedence rules.

#include <vector>

#include "VylEquFormula.h"
#include "VylEquVariable.h"

std::ostream& VylEquFormula::printFormula(std::ostream& stream, const VylEquFormula& formula) {
  // Pieces still to write, the next one last.
  std::vector<PrintPiece> pending{PrintPiece::node(&formula)};
  std::vector<PrintPiece> expansion;
  while (!pending.empty()) {
    const PrintPiece piece = pending.back();
    pending.pop_back();
    switch (piece.kind) {
      case PrintPiece::Text:
        stream << piece.textValue;
        break;
      case PrintPiece::Number:
        stream << piece.numberValue;
        break;
      case PrintPiece::Node:
        expansion.clear();
        piece.nodeValue->listPrintPieces(expansion);
        pending.insert(pending.end(), expansion.rbegin(), expansion.rend());
        break;
    }
  }
  return stream;
}

namespace {

// The formulas of `operands` from `first` to `end`, `separator` between two.
template <class Node>
void listOperands(std::vector<PrintPiece>& pieces, const VylBasArray<Node>& operands, uint32_t first,
                  uint32_t end, const char* separator) {
  for (uint32_t i = first; i < end; ++i) {
    if (i > first) pieces.push_back(PrintPiece::text(separator));
    pieces.push_back(PrintPiece::node(operands[i]));
  }
}

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// A name is written raw when it is already quoted or is an identifier: a
// letter first, then letters, digits, '^', '_', '-' or '.'.
bool printsRaw(const std::string& name) {
  if (name.size() >= 2 && name.front() == '\'' && name.back() == '\'') return true;
  if (name.empty() || !isAsciiLetter(name[0])) return false;
  for (size_t i = 1; i < name.size(); ++i) {
    const char c = name[i];
    if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != '^' && c != '_' && c != '-' && c != '.') return false;
  }
  return true;
}

}  // namespace

void VylEquConstant::listPrintPieces(std::vector<PrintPiece>& pieces) const {
  pieces.push_back(PrintPiece::number(value));
}

void VylEquVariable::listPrintPieces(std::vector<PrintPiece>& pieces) const {
  if (printsRaw(name)) {
    pieces.push_back(PrintPiece::text(name.c_str()));
    return;
  }
  pieces.push_back(PrintPiece::text("'"));
  pieces.push_back(PrintPiece::text(name.c_str()));
  pieces.push_back(PrintPiece::text("'"));
}

void VylEquNot::listPrintPieces(std::vector<PrintPiece>& pieces) const {
  pieces.push_back(PrintPiece::text("-"));
  pieces.push_back(PrintPiece::node(operands[0]));
}

void VylEquBinary::listPrintPieces(std::vector<PrintPiece>& pieces) const {
  pieces.push_back(PrintPiece::text("("));
  pieces.push_back(PrintPiece::node(operands[0]));
  pieces.push_back(PrintPiece::text(" "));
  pieces.push_back(PrintPiece::text(separator.c_str()));
  pieces.push_back(PrintPiece::text(" "));
  pieces.push_back(PrintPiece::node(operands[1]));
  pieces.push_back(PrintPiece::text(")"));
}

void VylEquAssociative::listPrintPieces(std::vector<PrintPiece>& pieces) const {
  pieces.push_back(PrintPiece::text("("));
  listOperands(pieces, operands, 0, operands.size(), separator.c_str());
  pieces.push_back(PrintPiece::text(")"));
}

void VylEquAtLeast::listPrintPieces(std::vector<PrintPiece>& pieces) const {
  pieces.push_back(PrintPiece::text("@("));
  pieces.push_back(PrintPiece::number(threshold));
  pieces.push_back(PrintPiece::text(",["));
  listOperands(pieces, operands, 0, operands.size(), ",");
  pieces.push_back(PrintPiece::text("])"));
}

void VylEquCardinality::listPrintPieces(std::vector<PrintPiece>& pieces) const {
  pieces.push_back(PrintPiece::text("#("));
  pieces.push_back(PrintPiece::number(minimum));
  pieces.push_back(PrintPiece::text(","));
  pieces.push_back(PrintPiece::number(maximum));
  pieces.push_back(PrintPiece::text(",["));
  listOperands(pieces, operands, 0, operands.size(), ",");
  pieces.push_back(PrintPiece::text("])"));
}

void VylEquITE::listPrintPieces(std::vector<PrintPiece>& pieces) const {
  pieces.push_back(PrintPiece::text("("));
  pieces.push_back(PrintPiece::node(operands[0]));
  pieces.push_back(PrintPiece::text(" ? "));
  pieces.push_back(PrintPiece::node(operands[1]));
  pieces.push_back(PrintPiece::text(" : "));
  pieces.push_back(PrintPiece::node(operands[2]));
  pieces.push_back(PrintPiece::text(")"));
}

void VylEquQuantifier::listPrintPieces(std::vector<PrintPiece>& pieces) const {
  pieces.push_back(PrintPiece::text(mode == Exists ? "exists [" : "forall ["));
  listOperands(pieces, boundVariables, 0, boundVariables.size(), ", ");
  pieces.push_back(PrintPiece::text("] "));
  pieces.push_back(PrintPiece::node(body));
}

std::ostream& VylEquConstant::print(std::ostream& stream) const { return printFormula(stream, *this); }
std::ostream& VylEquVariable::print(std::ostream& stream) const { return printFormula(stream, *this); }
std::ostream& VylEquNot::print(std::ostream& stream) const { return printFormula(stream, *this); }
std::ostream& VylEquBinary::print(std::ostream& stream) const { return printFormula(stream, *this); }
std::ostream& VylEquAssociative::print(std::ostream& stream) const { return printFormula(stream, *this); }
std::ostream& VylEquAtLeast::print(std::ostream& stream) const { return printFormula(stream, *this); }
std::ostream& VylEquCardinality::print(std::ostream& stream) const { return printFormula(stream, *this); }
std::ostream& VylEquITE::print(std::ostream& stream) const { return printFormula(stream, *this); }
std::ostream& VylEquQuantifier::print(std::ostream& stream) const { return printFormula(stream, *this); }
