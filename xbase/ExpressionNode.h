#pragma once
// Internal: the compiled form of an Expression and its evaluator.

#include "xbase/Expression.h"

#include <memory>
#include <string>
#include <vector>

namespace xbase {

enum class NodeKind { Literal, Field, Deleted, RecNo, Not, And, Or, Plus, Minus, Compare, Call };

struct Expression::Node {
  NodeKind kind = NodeKind::Literal;
  char type = 'C'; // result type
  Value literal;   // Literal
  int field = -1;  // Field: index into the field list
  std::string op;  // Compare: = == <> < > <= >=; Call: function name
  std::vector<std::unique_ptr<Node>> args;
};

std::unique_ptr<Expression::Node> compileExpression(const std::string& source,
                                                    const std::vector<FieldDef>& fields);
Value evaluateNode(const Expression::Node& node, const RecordView& record);

} // namespace xbase
