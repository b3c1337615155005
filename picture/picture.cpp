#include "picture.h"

#include "nativename.h"

#include <QDir>

#include <future>
#include <map>
#include <mutex>

struct Picture::MadeImages
{
    std::mutex lock;
    std::map<quint64, std::shared_future<std::any>> ofKey;
};

Picture::Picture(QImage image, QSize naturalSize, QSizeF extent)
    : m_image(std::move(image))
    , m_size(naturalSize.isValid() ? naturalSize : m_image.size())
    , m_extent(extent.isValid() ? extent : QSizeF(m_image.size()))
    , m_made(std::make_shared<MadeImages>())
{
}

std::any Picture::madeOnceAny(quint64 key, const std::function<std::any()> &make) const
{
    if (!m_made) // a null picture
        return make();
    std::promise<std::any> making;
    std::shared_future<std::any> made;
    bool isNew = false;
    {
        const std::lock_guard<std::mutex> held(m_made->lock);
        const auto found = m_made->ofKey.try_emplace(key, making.get_future().share());
        made = found.first->second;
        isNew = found.second;
    }
    if (!isNew)
        return made.get(); // made, or being made by another thread
    try {
        making.set_value(make());
    } catch (...) {
        making.set_exception(std::current_exception()); // those waiting hear of it too
    }
    return made.get();
}

Picture Picture::drawing(QByteArray document, QImage drawn, QSize naturalSize, DrawingKind kind)
{
    Picture picture(std::move(drawn), naturalSize);
    picture.m_document = std::move(document);
    picture.m_isSvg = kind == DrawingKind::Svg;
    return picture;
}

QString cannotOpen(const QString &path, const Failure &failure)
{
    return QStringLiteral("Tervana cannot open \"%1\": %2.").arg(readableName(QDir::toNativeSeparators(path)), failure.reason);
}
