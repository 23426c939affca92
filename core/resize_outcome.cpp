#include "core/resize_outcome.h"

namespace morvane {

namespace {

QString failureMessage(const ResizeError &error)
{
    QString text = error.fileName.isEmpty() ? QStringLiteral("Could not resize: ")
                                            : QStringLiteral("Could not resize %1: ").arg(error.fileName);
    return text + failureReason(error) + QStringLiteral(". No file was changed.");
}

} // namespace

QString failureReason(const ResizeError &error)
{
    QString reason = error.what;
    if (error.line)
        reason.prepend(QStringLiteral("line %1: ").arg(*error.line));
    return reason;
}

QString outcomeMessage(const ResizeOutcome &outcome)
{
    if (std::holds_alternative<NoFileSelected>(outcome))
        return QStringLiteral("Please select a file !");
    if (const auto *created = std::get_if<Created>(&outcome))
        return QStringLiteral("   File has been created succesfuly !  \r\r   New file's name is : ")
            + created->newFileName + QStringLiteral("   ");
    return failureMessage(std::get<Failed>(outcome).error);
}

} // namespace morvane
