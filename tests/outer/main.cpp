// A client of the library as an outer project sees it.
#include <cstdio>

#include "kezdcqr/KezDcQr.h"

int main() {
  KezDcQrQuery* query = KezDcQrQuery::NewQuery("Get(6*7)");
  query->DoQuery();
  auto* value = static_cast<KezDcQrQRExpression*>(query->p_QResult);
  KezDcQrQuery::DeleteAllQueries();
  return value && KezDcCMError::GetNbErrors() == 0 ? 0 : 1;
}
