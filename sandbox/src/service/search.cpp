#include <chrono>

#include "protocol/payload.hpp"
#include "protocol/request.hpp"
#include "sandbox_error.hpp"
#include "service/lookup.hpp"
#include "service/operations.hpp"
#include "service/query.hpp"
#include "service/summary.hpp"

namespace QuarloSandbox {

namespace {

constexpr std::int64_t kMaxPageSize = 1000;

}  // namespace

// Pages count from 1; the group does not narrow the search (see lookup.hpp).
Answer PaginatedSearch(ServiceContext& context, const Call& call) {
  const auto started = std::chrono::steady_clock::now();
  const RequestBody request(call.body, "SearchRequest");
  const std::string environment = RequireEnvironment(request.Field("Environment"));
  RequireGroup(request.Field("Group"));
  const SqlFilter filter = CompileQuery(DecodeIsoBase64Field(request.Field("Query"), "Query"));
  const std::int64_t page = request.Number("Page", 1, 1000000);
  const std::int64_t size = request.Number("PageSize", 1, kMaxPageSize);
  struct Page {
    std::int64_t total = 0;
    std::vector<DocumentFacts> documents;
  };
  const Page found = context.store.Read([&](StoreTx& tx) {
    Page result;
    result.total = tx.CountDocuments(environment, filter.condition, filter.params);
    for (auto& row : tx.SearchDocuments(environment, filter.condition, filter.params,
                                        (page - 1) * size, size)) {
      result.documents.push_back(GatherFacts(tx, std::move(row)));
    }
    return result;
  });
  Answer answer;
  answer.Add("Data", IsoBase64(DocumentsXml(found.documents, call.baseUrl)));
  answer.Add("SearchTime", ElapsedMilliseconds(started));
  answer.Add("TotalDocuments", std::to_string(found.total));
  return answer;
}

}  // namespace QuarloSandbox
