#pragma once
// The parsed form of an xBase expression (shared by the parser and the evaluator).
#include <memory>

#include "storage/xbase_expr.h"

namespace tlm::xbase {

enum class ExprOp {
  kField, kConst,
  kNot, kNegate, kAnd, kOr, kAdd, kSubtract,
  kEqual, kExactEqual, kNotEqual, kLess, kGreater, kLessEqual, kGreaterEqual, kContains,
  kDtos, kCtod, kUpper, kLower, kAllTrim, kRTrim, kLTrim, kEmpty, kDeleted, kRecno,
};

struct ExprNode {
  ExprOp op = ExprOp::kConst;
  ValueType type = ValueType::kLogical;
  int field = -1;   // kField: index into the field list
  Value constant;   // kConst
  std::unique_ptr<ExprNode> a, b;
};

Value EvaluateNode(const ExprNode& node, const RecordView& record);

}  // namespace tlm::xbase
