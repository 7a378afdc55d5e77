#pragma once
// How an update's posted codes read to the user: the status texts of the system and preset
// sections, the captions of the update test, and the percentage text.
#include "platform/Messages.h"

#include <string>

// "Status: Establishing" ... "Status: Update OK!" for system codes 17-25 and preset codes
// 129-137; nullptr for any other code.
const char* UpdateStatusText(WPARAM code);
// "Establishing" ... "Successful!" for test codes 241-249; nullptr for any other code.
const char* UpdateTestCaption(WPARAM code);
// True for the test's four failure codes, which the user is also told by "UPDATE TEST ERROR!".
bool IsUpdateTestFailure(WPARAM code);
constexpr const char* UPDATE_TEST_ERROR_TEXT = "UPDATE TEST ERROR!";
// True for a code that ends a run: success or a phase's failure, of any kind.
bool IsUpdateFinalCode(WPARAM code);
// True for the progress codes of the system (33-35) and preset (145-147) sections.
bool IsUpdateProgressCode(WPARAM code);
// A progress value as the bar shows it: above 100 counts as 100.
int UpdateProgressValue(LPARAM value);
// "Tx:" + the value in three characters + "%": "Tx:  5%", "Tx:100%".
std::string UpdatePercentText(int value);
