#include "appicons.h"

#include "icns.h"
#include "iconsizes.h"
#include "openinput.h"
#include "pictureencoding.h"

#include <map>

const std::vector<int> &icnsSizes()
{
    static const std::vector<int> sizes = {1024, 512, 256, 128, 64, 32, 16};
    return sizes;
}

Converted makeIcns(const ConversionOptions &options, const QStringList &inputs)
{
    SourcesLoad load = loadAllSources(inputs, icnsSizes().front());
    if (load.failure)
        return {QByteArray(), std::move(load.failure), false, {}};
    // One file's pictures may be enlarged where they must, as for --sizes.
    IconSizePlan plan = planIconSizes(load.sources, icnsSizes(), inputs.size() == 1);
    if (plan.failure)
        return {QByteArray(), RunFailure{RunFailure::Step::MakeIcon, Operand::input(inputs.first()), std::nullopt,
                                         std::move(*plan.failure)},
                true, {}};
    const std::vector<QImage> squares = squareImagesOf(load.sources, plan.sources, options.keyBlack);
    std::map<int, QByteArray> pngOfSide;
    for (const QImage &square : squares)
        pngOfSide[square.width()] = encodePng(square);
    std::vector<IcnsElement> elements;
    for (const IcnsPngType &type : icnsPngTypes())
        elements.push_back({QByteArray(type.type), pngOfSide.at(type.side)});
    return {encodeIcns(elements), std::nullopt, false, std::move(load.notes)};
}
