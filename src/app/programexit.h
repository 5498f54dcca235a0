#pragma once
// The end of the real program. Exit ends the process at once: freeing a catalogue of
// millions of records, record by record, would keep it alive for seconds after its
// windows have gone, and nothing needs saving.

[[noreturn]] void endProgramNow();
