#pragma once
// The program: creates the long-lived objects in order and runs the event loop.
namespace qm {
int runProgram();
}
