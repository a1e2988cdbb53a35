// The dialog's query component in the test builds: the double on the library catalogue.

#include "plugin/query_component.h"
#include "query_double.h"

namespace veltra::plugin {

std::unique_ptr<QueryComponent> NewDialogQuery() {
  return std::make_unique<testing::QueryDouble>(testing::LibraryCatalog());
}

}  // namespace veltra::plugin
