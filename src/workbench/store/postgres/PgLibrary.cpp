// Loading the PostgreSQL client library (see PgLibrary.h).
#include "workbench/store/postgres/PgLibrary.h"

#include <dlfcn.h>

#include <string>

#include "support/Error.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

[[noreturn]] void RaiseNotLoaded(const std::string& reason) {
  RaiseError(errc::kPathFileAccessError, {}, Text(WB_DB_FAILED, {reason}));
}

// `name` from `handle`, as the type of `function`.
template <typename Function>
void Resolve(void* handle, const char* name, Function& function) {
  void* symbol = ::dlsym(handle, name);
  if (symbol == nullptr) RaiseNotLoaded(std::string("libpq.so.5: ") + name + " is missing");
  function = reinterpret_cast<Function>(symbol);
}

PgLibrary Load() {
  // Never closed: the library stays for the rest of the program.
  void* handle = ::dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    RaiseNotLoaded(reason != nullptr ? reason : "libpq.so.5 cannot be loaded");
  }
  PgLibrary pq{};
  Resolve(handle, "PQclear", pq.clear);
  Resolve(handle, "PQconndefaults", pq.conndefaults);
  Resolve(handle, "PQconnectPoll", pq.connectPoll);
  Resolve(handle, "PQconnectStartParams", pq.connectStartParams);
  Resolve(handle, "PQconninfo", pq.conninfo);
  Resolve(handle, "PQconsumeInput", pq.consumeInput);
  Resolve(handle, "PQconninfoFree", pq.conninfoFree);
  Resolve(handle, "PQconninfoParse", pq.conninfoParse);
  Resolve(handle, "PQdb", pq.db);
  Resolve(handle, "PQenterPipelineMode", pq.enterPipelineMode);
  Resolve(handle, "PQerrorMessage", pq.errorMessage);
  Resolve(handle, "PQexitPipelineMode", pq.exitPipelineMode);
  Resolve(handle, "PQfinish", pq.finish);
  Resolve(handle, "PQflush", pq.flush);
  Resolve(handle, "PQfreemem", pq.freemem);
  Resolve(handle, "PQgetisnull", pq.getisnull);
  Resolve(handle, "PQgetResult", pq.getResult);
  Resolve(handle, "PQgetlength", pq.getlength);
  Resolve(handle, "PQgetvalue", pq.getvalue);
  Resolve(handle, "PQhost", pq.host);
  Resolve(handle, "PQisBusy", pq.isBusy);
  Resolve(handle, "PQnfields", pq.nfields);
  Resolve(handle, "PQntuples", pq.ntuples);
  Resolve(handle, "PQpipelineSync", pq.pipelineSync);
  Resolve(handle, "PQport", pq.port);
  Resolve(handle, "PQresultErrorMessage", pq.resultErrorMessage);
  Resolve(handle, "PQresultStatus", pq.resultStatus);
  Resolve(handle, "PQsendPrepare", pq.sendPrepare);
  Resolve(handle, "PQsendQuery", pq.sendQuery);
  Resolve(handle, "PQsendQueryPrepared", pq.sendQueryPrepared);
  Resolve(handle, "PQsetNoticeProcessor", pq.setNoticeProcessor);
  Resolve(handle, "PQsetnonblocking", pq.setnonblocking);
  Resolve(handle, "PQsocket", pq.socket);
  Resolve(handle, "PQstatus", pq.status);
  Resolve(handle, "PQtransactionStatus", pq.transactionStatus);
  Resolve(handle, "PQuser", pq.user);
  return pq;
}

}  // namespace

const PgLibrary& Pq() {
  // A failed load raises and is tried again on the next call.
  static const PgLibrary library = Load();
  return library;
}

}  // namespace zt::wb
