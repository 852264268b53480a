#include "platform/media/MediaDevice.h"

#include "platform/media/MediaCommand.h"

int MediaDevice::command(const QString &text, QString *reply)
{
    const int result = execute(text, reply);
    if (result == 0)
        track(text);
    return result;
}

void MediaDevice::track(const QString &text)
{
    const MediaCommand c = MediaCommand::parse(text);
    if (c.verb == MediaCommand::Verb::Open) {
        held_ = c.isNew() ? Held::Take : Held::File;
        unsaved_ = false;
        recording_ = false;
        owner_ = 0;
        alias_ = c.alias;
        return;
    }
    if (held_ == Held::Nothing || c.alias.compare(alias_, Qt::CaseInsensitive) != 0)
        return;
    switch (c.verb) {
    case MediaCommand::Verb::Close:
        held_ = Held::Nothing;
        unsaved_ = false;
        recording_ = false;
        alias_.clear();
        break;
    case MediaCommand::Verb::Record:
        unsaved_ = held_ == Held::Take;
        recording_ = unsaved_;
        break;
    case MediaCommand::Verb::Stop:
        recording_ = false;
        break;
    case MediaCommand::Verb::Save:
        unsaved_ = false;
        break;
    default:
        break;
    }
}
