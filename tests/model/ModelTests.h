#pragma once

// Each suite runs with the arguments of the test executable and returns its failure count.
int runSiteModelTests(int argc, char** argv);
int runEventLogDataTests(int argc, char** argv);
int runOleDateTimeTests(int argc, char** argv);
