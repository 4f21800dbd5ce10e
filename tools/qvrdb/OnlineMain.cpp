// Entry point of qvrdb-online, the companion of qvrdb that asks online sources.
#include "tools/qvrdb/Qvrdb.h"

int main(int argc, char** argv) { return qvr::QvrdbMain(argc, argv, qvr::OnlineCommands()); }
