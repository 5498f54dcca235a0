#pragma once
// The end of the real program. Exit ends the process at once: freeing a catalogue of
// millions of records, record by record, would keep it alive for seconds after its
// windows have gone, and nothing needs saving. A file operation under way is cancelled and
// waited for, so that it removes its partial copy.

[[noreturn]] void endProgramNow();
