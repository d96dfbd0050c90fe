#pragma once

class BenchContext;

// Each stage starts what it needs, measures, adds its lines to the table and stops it again.
namespace stages {

// Process start to the login window drawn, against a bare Qt Widgets window.
void StartUp(BenchContext& bench);
// Login click to the main window drawn and private memory with the largest conversation open,
// each with a msg.db of a million messages against an empty one; then, logged in with the demo,
// CPU and wake-ups while the poll is held, and the delivery of new messages.
void LoggedIn(BenchContext& bench);
// A login with 100 000 messages waiting, against the store benchmark.
void CatchUp(BenchContext& bench);
// platform-sim alone with many clients long-polling while messages flow among them.
void SimLoad(BenchContext& bench);

}  // namespace stages
