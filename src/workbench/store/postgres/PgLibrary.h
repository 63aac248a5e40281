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
  decltype(&::PQconnectdb) connectdb;
  decltype(&::PQconninfoFree) conninfoFree;
  decltype(&::PQconninfoParse) conninfoParse;
  decltype(&::PQdb) db;
  decltype(&::PQerrorMessage) errorMessage;
  decltype(&::PQexec) exec;
  decltype(&::PQexecPrepared) execPrepared;
  decltype(&::PQfinish) finish;
  decltype(&::PQfreemem) freemem;
  decltype(&::PQgetisnull) getisnull;
  decltype(&::PQgetlength) getlength;
  decltype(&::PQgetvalue) getvalue;
  decltype(&::PQhost) host;
  decltype(&::PQntuples) ntuples;
  decltype(&::PQport) port;
  decltype(&::PQprepare) prepare;
  decltype(&::PQresultErrorMessage) resultErrorMessage;
  decltype(&::PQresultStatus) resultStatus;
  decltype(&::PQsetNoticeProcessor) setNoticeProcessor;
  decltype(&::PQstatus) status;
  decltype(&::PQtransactionStatus) transactionStatus;
  decltype(&::PQuser) user;
};

/// libpq, loaded on the first call and kept for the rest of the program.
/// Raises error 75 (WB_DB_FAILED, with the loader's reason) when it cannot
/// be loaded or lacks a function.
const PgLibrary& Pq();

}  // namespace zt::wb
