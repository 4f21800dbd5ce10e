// Entry point of qvrdb-drive, the companion of qvrdb that reads drives and images.
#include "tools/qvrdb/Qvrdb.h"

int main(int argc, char** argv) { return qvr::QvrdbMain(argc, argv, qvr::DriveCommands()); }
