// Lexer and recursive-descent parser for xBase expressions.
#include <cctype>
#include <cstdlib>

#include "storage/xbase_expr_node.h"

namespace tlm::xbase {
namespace {

enum class Tok { kEnd, kName, kString, kNumber, kDotWord, kSymbol, kLParen, kRParen, kComma };

struct Token {
  Tok kind = Tok::kEnd;
  std::string text;  // names and dot words upper-cased; symbols as written
  std::size_t at = 0;
};

std::string Upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

struct ParseError {
  std::string what;
};

class Lexer {
 public:
  explicit Lexer(const std::string& text) : s_(text) {}

  Token Next() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    Token t;
    t.at = pos_;
    if (pos_ >= s_.size()) return t;
    const char c = s_[pos_];
    if (c == '"' || c == '\'') {
      const std::size_t close = s_.find(c, pos_ + 1);
      if (close == std::string::npos) throw ParseError{"unterminated text in quotes"};
      t.kind = Tok::kString;
      t.text = s_.substr(pos_ + 1, close - pos_ - 1);
      pos_ = close + 1;
      return t;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) ||
        (c == '.' && pos_ + 1 < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_ + 1])))) {
      std::size_t end = pos_;
      while (end < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[end])) || s_[end] == '.')) ++end;
      t.kind = Tok::kNumber;
      t.text = s_.substr(pos_, end - pos_);
      pos_ = end;
      return t;
    }
    if (c == '.') {
      const std::size_t close = s_.find('.', pos_ + 1);
      if (close != std::string::npos) {
        const std::string word = Upper(s_.substr(pos_ + 1, close - pos_ - 1));
        if (word == "AND" || word == "OR" || word == "NOT" || word == "T" || word == "F" || word == "TRUE" ||
            word == "FALSE" || word == "Y" || word == "N") {
          t.kind = Tok::kDotWord;
          t.text = word;
          pos_ = close + 1;
          return t;
        }
      }
      throw ParseError{"unexpected \".\""};
    }
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      std::size_t end = pos_;
      while (end < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[end])) || s_[end] == '_')) ++end;
      t.kind = Tok::kName;
      t.text = Upper(s_.substr(pos_, end - pos_));
      pos_ = end;
      return t;
    }
    if (c == '(') return ++pos_, t.kind = Tok::kLParen, t;
    if (c == ')') return ++pos_, t.kind = Tok::kRParen, t;
    if (c == ',') return ++pos_, t.kind = Tok::kComma, t;
    static const char* const kTwo[] = {"==", "<=", ">=", "<>", "!="};
    for (const char* two : kTwo) {
      if (s_.compare(pos_, 2, two) == 0) {
        t.kind = Tok::kSymbol;
        t.text = two;
        pos_ += 2;
        return t;
      }
    }
    if (std::string("=<>#$+-!").find(c) != std::string::npos) {
      t.kind = Tok::kSymbol;
      t.text = std::string(1, c);
      ++pos_;
      return t;
    }
    throw ParseError{std::string("unexpected character '") + c + "'"};
  }

 private:
  const std::string& s_;
  std::size_t pos_ = 0;
};

const char* TypeName(ValueType t) {
  switch (t) {
    case ValueType::kCharacter: return "character";
    case ValueType::kNumeric: return "numeric";
    case ValueType::kDate: return "date";
    case ValueType::kLogical: return "logical";
  }
  return "?";
}

using NodePtr = std::unique_ptr<ExprNode>;

NodePtr Make(ExprOp op, ValueType type, NodePtr a = nullptr, NodePtr b = nullptr) {
  auto n = std::make_unique<ExprNode>();
  n->op = op;
  n->type = type;
  n->a = std::move(a);
  n->b = std::move(b);
  return n;
}

class Parser {
 public:
  Parser(const std::string& text, const std::vector<FieldDef>& fields) : lex_(text), fields_(fields) {
    Advance();
  }

  NodePtr ParseAll() {
    NodePtr n = Or();
    if (tok_.kind != Tok::kEnd) throw ParseError{"unexpected \"" + Describe(tok_) + "\""};
    return n;
  }

 private:
  static std::string Describe(const Token& t) {
    switch (t.kind) {
      case Tok::kEnd: return "end";
      case Tok::kLParen: return "(";
      case Tok::kRParen: return ")";
      case Tok::kComma: return ",";
      case Tok::kDotWord: return "." + t.text + ".";
      case Tok::kString: return "\"" + t.text + "\"";
      default: return t.text;
    }
  }
  void Advance() { tok_ = lex_.Next(); }
  bool IsDot(const char* w) const { return tok_.kind == Tok::kDotWord && tok_.text == w; }
  bool IsSym(const char* s) const { return tok_.kind == Tok::kSymbol && tok_.text == s; }

  void Need(const NodePtr& n, ValueType t, const char* where) {
    if (n->type != t)
      throw ParseError{std::string(where) + " needs a " + TypeName(t) + " value, not " + TypeName(n->type)};
  }

  // Nesting is bounded so hostile input cannot exhaust the stack.
  struct Depth {
    explicit Depth(int& d) : d_(d) {
      if (++d_ > 200) throw ParseError{"the expression is nested too deeply"};
    }
    ~Depth() { --d_; }
    int& d_;
  };

  NodePtr Or() {
    Depth guard(depth_);
    NodePtr left = And();
    while (IsDot("OR")) {
      Advance();
      NodePtr right = And();
      Need(left, ValueType::kLogical, ".OR.");
      Need(right, ValueType::kLogical, ".OR.");
      left = Make(ExprOp::kOr, ValueType::kLogical, std::move(left), std::move(right));
    }
    return left;
  }

  NodePtr And() {
    NodePtr left = Not();
    while (IsDot("AND")) {
      Advance();
      NodePtr right = Not();
      Need(left, ValueType::kLogical, ".AND.");
      Need(right, ValueType::kLogical, ".AND.");
      left = Make(ExprOp::kAnd, ValueType::kLogical, std::move(left), std::move(right));
    }
    return left;
  }

  NodePtr Not() {
    if (IsDot("NOT") || IsSym("!")) {
      Depth guard(depth_);
      Advance();
      NodePtr inner = Not();
      Need(inner, ValueType::kLogical, ".NOT.");
      return Make(ExprOp::kNot, ValueType::kLogical, std::move(inner));
    }
    return Comparison();
  }

  NodePtr Comparison() {
    NodePtr left = Additive();
    while (tok_.kind == Tok::kSymbol) {
      const std::string s = tok_.text;
      ExprOp op;
      if (s == "=") op = ExprOp::kEqual;
      else if (s == "==") op = ExprOp::kExactEqual;
      else if (s == "<>" || s == "#" || s == "!=") op = ExprOp::kNotEqual;
      else if (s == "<") op = ExprOp::kLess;
      else if (s == ">") op = ExprOp::kGreater;
      else if (s == "<=") op = ExprOp::kLessEqual;
      else if (s == ">=") op = ExprOp::kGreaterEqual;
      else if (s == "$") op = ExprOp::kContains;
      else break;
      Advance();
      NodePtr right = Additive();
      if (op == ExprOp::kContains) {
        Need(left, ValueType::kCharacter, "$");
        Need(right, ValueType::kCharacter, "$");
      } else if (left->type != right->type) {
        throw ParseError{"cannot compare a " + std::string(TypeName(left->type)) + " value with a " +
                         TypeName(right->type) + " value"};
      } else if (left->type == ValueType::kLogical && op != ExprOp::kEqual && op != ExprOp::kExactEqual &&
                 op != ExprOp::kNotEqual) {
        throw ParseError{"logical values can only be tested for equality"};
      }
      left = Make(op, ValueType::kLogical, std::move(left), std::move(right));
    }
    return left;
  }

  NodePtr Additive() {
    NodePtr left = Unary();
    while (IsSym("+") || IsSym("-")) {
      const bool plus = tok_.text == "+";
      Advance();
      NodePtr right = Unary();
      const ValueType l = left->type, r = right->type;
      ValueType result;
      if (l == ValueType::kCharacter && r == ValueType::kCharacter) result = ValueType::kCharacter;
      else if (l == ValueType::kNumeric && r == ValueType::kNumeric) result = ValueType::kNumeric;
      else if (l == ValueType::kDate && r == ValueType::kNumeric) result = ValueType::kDate;
      else if (plus && l == ValueType::kNumeric && r == ValueType::kDate) result = ValueType::kDate;
      else if (!plus && l == ValueType::kDate && r == ValueType::kDate) result = ValueType::kNumeric;
      else
        throw ParseError{std::string("cannot ") + (plus ? "add" : "subtract") + " a " + TypeName(r) +
                         " value " + (plus ? "to" : "from") + " a " + TypeName(l) + " value"};
      left = Make(plus ? ExprOp::kAdd : ExprOp::kSubtract, result, std::move(left), std::move(right));
    }
    return left;
  }

  NodePtr Unary() {
    Depth guard(depth_);
    if (IsSym("-")) {
      Advance();
      NodePtr inner = Unary();
      Need(inner, ValueType::kNumeric, "-");
      return Make(ExprOp::kNegate, ValueType::kNumeric, std::move(inner));
    }
    if (IsSym("+")) {
      Advance();
      return Unary();
    }
    return Primary();
  }

  NodePtr Constant(Value v) {
    auto n = Make(ExprOp::kConst, v.type);
    n->constant = std::move(v);
    return n;
  }

  NodePtr Primary() {
    const Token t = tok_;
    switch (t.kind) {
      case Tok::kString: {
        Advance();
        Value v;
        v.type = ValueType::kCharacter;
        v.text = t.text;
        return Constant(std::move(v));
      }
      case Tok::kNumber: {
        Advance();
        char* end = nullptr;
        Value v;
        v.type = ValueType::kNumeric;
        v.number = std::strtod(t.text.c_str(), &end);
        if (end != t.text.c_str() + t.text.size()) throw ParseError{"bad number \"" + t.text + "\""};
        return Constant(std::move(v));
      }
      case Tok::kDotWord: {
        if (t.text == "AND" || t.text == "OR" || t.text == "NOT")
          throw ParseError{"unexpected \"." + t.text + ".\""};
        Advance();
        Value v;
        v.type = ValueType::kLogical;
        v.logical = t.text == "T" || t.text == "TRUE" || t.text == "Y";
        return Constant(std::move(v));
      }
      case Tok::kLParen: {
        Advance();
        NodePtr inner = Or();
        if (tok_.kind != Tok::kRParen) throw ParseError{"\")\" expected"};
        Advance();
        return inner;
      }
      case Tok::kName: {
        Advance();
        if (tok_.kind == Tok::kLParen) return Call(t.text);
        for (std::size_t i = 0; i < fields_.size(); ++i) {
          if (Upper(fields_[i].name) != t.text) continue;
          ValueType type = ValueType::kCharacter;
          switch (fields_[i].type) {
            case FieldType::kNumeric: type = ValueType::kNumeric; break;
            case FieldType::kDate: type = ValueType::kDate; break;
            case FieldType::kLogical: type = ValueType::kLogical; break;
            default: break;
          }
          auto n = Make(ExprOp::kField, type);
          n->field = static_cast<int>(i);
          return n;
        }
        throw ParseError{"unknown field \"" + t.text + "\""};
      }
      default:
        throw ParseError{tok_.kind == Tok::kEnd ? "the expression ends too early"
                                                : "unexpected \"" + Describe(t) + "\""};
    }
  }

  NodePtr Call(const std::string& name) {
    Advance();  // (
    std::vector<NodePtr> args;
    if (tok_.kind != Tok::kRParen) {
      for (;;) {
        args.push_back(Or());
        if (tok_.kind != Tok::kComma) break;
        Advance();
      }
    }
    if (tok_.kind != Tok::kRParen) throw ParseError{"\")\" expected after the arguments of " + name};
    Advance();
    struct Fn {
      const char* name;
      ExprOp op;
      int args;
      ValueType in;
      ValueType out;
    };
    static const Fn kFunctions[] = {
        {"DTOS", ExprOp::kDtos, 1, ValueType::kDate, ValueType::kCharacter},
        {"CTOD", ExprOp::kCtod, 1, ValueType::kCharacter, ValueType::kDate},
        {"UPPER", ExprOp::kUpper, 1, ValueType::kCharacter, ValueType::kCharacter},
        {"LOWER", ExprOp::kLower, 1, ValueType::kCharacter, ValueType::kCharacter},
        {"ALLTRIM", ExprOp::kAllTrim, 1, ValueType::kCharacter, ValueType::kCharacter},
        {"TRIM", ExprOp::kRTrim, 1, ValueType::kCharacter, ValueType::kCharacter},
        {"RTRIM", ExprOp::kRTrim, 1, ValueType::kCharacter, ValueType::kCharacter},
        {"LTRIM", ExprOp::kLTrim, 1, ValueType::kCharacter, ValueType::kCharacter},
        {"EMPTY", ExprOp::kEmpty, 1, ValueType::kLogical, ValueType::kLogical},  // any argument type
        {"DELETED", ExprOp::kDeleted, 0, ValueType::kLogical, ValueType::kLogical},
        {"RECNO", ExprOp::kRecno, 0, ValueType::kLogical, ValueType::kNumeric},
    };
    for (const Fn& f : kFunctions) {
      if (name != f.name) continue;
      if (static_cast<int>(args.size()) != f.args)
        throw ParseError{name + " takes " + std::to_string(f.args) + " argument" + (f.args == 1 ? "" : "s")};
      if (f.args == 1 && f.op != ExprOp::kEmpty) Need(args[0], f.in, f.name);
      return Make(f.op, f.out, f.args ? std::move(args[0]) : nullptr);
    }
    throw ParseError{"unknown function " + name + "()"};
  }

  Lexer lex_;
  const std::vector<FieldDef>& fields_;
  Token tok_;
  int depth_ = 0;
};

}  // namespace

Expression::Expression() = default;
Expression::~Expression() = default;
Expression::Expression(Expression&&) noexcept = default;
Expression& Expression::operator=(Expression&&) noexcept = default;

std::unique_ptr<Expression> Expression::Parse(const std::string& text, const std::vector<FieldDef>& fields,
                                              std::string& error) {
  try {
    Parser parser(text, fields);
    std::unique_ptr<Expression> e(new Expression);
    e->text_ = text;
    e->root_ = parser.ParseAll();
    return e;
  } catch (const ParseError& failure) {
    error = "Invalid expression \"" + text + "\": " + failure.what;
    return nullptr;
  }
}

ValueType Expression::Type() const { return root_->type; }

Value Expression::Evaluate(const RecordView& record) const { return EvaluateNode(*root_, record); }

bool Expression::IsTrue(const RecordView& record) const {
  const Value v = EvaluateNode(*root_, record);
  return v.type == ValueType::kLogical && v.logical;
}

bool Expression::IsNotDeletedTest() const {
  return root_->op == ExprOp::kNot && root_->a && root_->a->op == ExprOp::kDeleted;
}

}  // namespace tlm::xbase
