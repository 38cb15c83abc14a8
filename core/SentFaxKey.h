#pragma once
// The name under which the text of a sent fax is kept for searching: made
// from what the fax's pages are drawn from (its record's subject, recipient,
// number, cover and text), so that a record finds its text whatever its
// place in the table, and a record changed since it was sent no longer
// claims the text of the pages that went out.

#include <string>

namespace xbase {
class Table;
}

namespace app {

// 16 hexadecimal digits for the Sent table's current record.
std::string SentFaxKey(const xbase::Table& sent);

} // namespace app
