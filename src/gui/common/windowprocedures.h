#pragma once
// The main window's own procedures that the command sets call: the grid's layout and the
// steps one command set takes of another's. The window implements it, so the compiler
// shows every call.

class WindowProcedures {
public:
    virtual void ResetSplitDisplay() = 0;
    virtual void FormatColumns() = 0;
    virtual void SplitDisplay() = 0;
    // Clear, as its button; it stops a walk or an open first.
    virtual void Clear() = 0;
    // Stops a walk under way (Clear, Open and Exit do it before their own work).
    virtual void cancelWalk() = 0;
    // A catalogue file is being read for the window: Display waits for a Clear.
    [[nodiscard]] virtual bool catalogueOpening() const = 0;

protected:
    ~WindowProcedures() = default;
};
