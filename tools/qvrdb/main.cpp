// Entry point of the qvrdb tool: the database commands; the others go to a companion program.
#include "tools/qvrdb/Qvrdb.h"

int main(int argc, char** argv) { return qvr::QvrdbMain(argc, argv, {}); }
