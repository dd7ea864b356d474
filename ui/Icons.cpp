#include "ui/Icons.h"

#include <QHash>
#include <iterator>

// The images live in the window library; a static library must ask for
// its resources to be registered.
static void initIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace talvoren {

namespace {

const char* const kToolbarNames[imgToolbarCount] = {
    "_ICO_SAVE",         "_ICO_UNDO",       "_ICO_REDO",         "_ICO_COPY",
    "_ICO_PASTE",        "_ICO_DELETE",     "_ICO_ADD",          "_ICO_ADDVALUE",
    "_ICO_EDIT",         "_ICO_EDITASPATH", "_ICO_EDITASFILE",   "_ICO_CHANGETYPE",
    "_ICO_MOVEUP",       "_ICO_MOVEDOWN",   "_ICO_OPTIONS",      "_ICO_SHOWINFORMATION",
    "_ICO_CHECKUPDATES", "_ICO_ABOUT",      "_ICO_SHOWREADONLY", "_ICO_SHIELD",
};

const char* const kTreeNames[] = {"tree_string", "tree_expandable", "tree_readonly", "tree_error", "tree_exclusion"};
const char* const kHeaderNames[] = {"hdr_collapse_all", "hdr_expand_all", "hdr_system", "hdr_user"};
const char* const kStatusNames[]
    = {"status_modified",        "status_cd",       "status_usb",        "status_saving",
       "status_no_write_access", "status_checking", "status_up_to_date", "status_update_error"};

} // namespace

QIcon TIcons::load(const QString& name)
{
    // Loaded once: the trees ask for their images on every paint.
    static QHash<QString, QIcon> cache;
    static const bool registered = (initIconResources(), true);
    (void)registered;
    auto it = cache.find(name);
    if (it == cache.end()) {
        it = cache.insert(name, QIcon(QStringLiteral(":/icons/") + name + QStringLiteral(".svg")));
    }
    return *it;
}

const char* TIcons::toolbarResourceName(int index)
{
    return index >= 0 && index < imgToolbarCount ? kToolbarNames[index] : nullptr;
}

QIcon TIcons::toolbar(int index)
{
    const char* name = toolbarResourceName(index);
    return name ? load(QString::fromLatin1(name)) : QIcon();
}

QIcon TIcons::tree(int index)
{
    return index >= 0 && index < int(std::size(kTreeNames)) ? load(QString::fromLatin1(kTreeNames[index])) : QIcon();
}

QIcon TIcons::header(int index)
{
    return index >= 0 && index < int(std::size(kHeaderNames)) ? load(QString::fromLatin1(kHeaderNames[index]))
                                                              : QIcon();
}

QIcon TIcons::status(int index)
{
    return index >= 0 && index < int(std::size(kStatusNames)) ? load(QString::fromLatin1(kStatusNames[index]))
                                                              : QIcon();
}

} // namespace talvoren
