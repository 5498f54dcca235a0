#include "platform/fileoperation.h"

#include "platform/fileopcopy.h"
#include "platform/fileopdelete.h"
#include "platform/fileopengine.h"
#include "platform/fileopmove.h"
#include "platform/fileopresolve.h"
#include "platform/fileoptemp.h"

namespace fileop {
namespace {

void transferAll(Engine &e, const Source &src, const std::string &to)
{
    Target t;
    if (!resolveTarget(e, to, src, t))
        return;
    temp::sweepStale(t.dir.get());
    for (const std::string &name : src.names) {
        const Place from = src.place(name);
        if (e.function() == Function::Copy)
            Copier(e).entry(from, t.placeFor(name));
        else
            moveEntry(e, from, t.placeFor(name));
        if (e.stopped())
            return;
    }
}

} // namespace

Result perform(Function function, const std::string &from, const std::string &to, std::uint16_t flags, Interaction &ui)
{
    Engine e(function, flags, ui);
    Source src;
    if (resolveSource(e, from, src)) {
        switch (function) {
        case Function::Delete:
            deleteAll(e, src);
            break;
        case Function::Rename:
            rename(e, src, to);
            break;
        case Function::Copy:
        case Function::Move:
            transferAll(e, src, to);
            break;
        }
    }
    return e.result();
}

} // namespace fileop
