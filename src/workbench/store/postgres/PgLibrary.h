// The PostgreSQL client library (libpq), loaded when a store first needs it:
// a program that only ever uses store folders never maps it, nor the TLS,
// Kerberos, LDAP and SASL libraries it brings along (about 5 MiB of every
// run's memory). The functions the store calls are reached through Pq().
#pragma once

#include <libpq-fe.h>

namespace zt::wb {

/// The functions of libpq that the store calls, each as libpq declares it.
struct PgLibrary {
  decltype(&::PQclear) clear;
  decltype(&::PQconndefaults) conndefaults;
  decltype(&::PQconnectPoll) connectPoll;
  decltype(&::PQconnectStartParams) connectStartParams;
  decltype(&::PQconninfo) conninfo;
  decltype(&::PQconsumeInput) consumeInput;
  decltype(&::PQconninfoFree) conninfoFree;
  decltype(&::PQconninfoParse) conninfoParse;
  decltype(&::PQdb) db;
  decltype(&::PQenterPipelineMode) enterPipelineMode;
  decltype(&::PQerrorMessage) errorMessage;
  decltype(&::PQexitPipelineMode) exitPipelineMode;

  decltype(&::PQfinish) finish;
  decltype(&::PQflush) flush;
  decltype(&::PQfreemem) freemem;
  decltype(&::PQgetisnull) getisnull;
  decltype(&::PQgetResult) getResult;
  decltype(&::PQgetlength) getlength;
  decltype(&::PQgetvalue) getvalue;
  decltype(&::PQhost) host;
  decltype(&::PQisBusy) isBusy;
  decltype(&::PQnfields) nfields;
  decltype(&::PQntuples) ntuples;
  decltype(&::PQpipelineSync) pipelineSync;
  decltype(&::PQport) port;

  decltype(&::PQresultErrorMessage) resultErrorMessage;
  decltype(&::PQresultStatus) resultStatus;
  decltype(&::PQsendPrepare) sendPrepare;
  decltype(&::PQsendQuery) sendQuery;
  decltype(&::PQsendQueryPrepared) sendQueryPrepared;
  decltype(&::PQsetNoticeProcessor) setNoticeProcessor;
  decltype(&::PQsetnonblocking) setnonblocking;
  decltype(&::PQsocket) socket;
  decltype(&::PQstatus) status;
  decltype(&::PQtransactionStatus) transactionStatus;
  decltype(&::PQuser) user;
};

/// libpq, loaded on the first call and kept for the rest of the program.
/// Raises error 75 (WB_DB_FAILED, with the loader's reason) when it cannot
/// be loaded or lacks a function.
const PgLibrary& Pq();

}  // namespace zt::wb
