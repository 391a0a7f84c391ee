#include "mapi/pst_session.h"

namespace tressimo::mapi {

MessageStoreFactory pstMessageStoreFactory()
{
    return
        [](std::unique_ptr<pst::Sink> sink, std::string_view displayName, const pst::StoreOptions& options) {
            return pst::MessageStore::create(std::move(sink), displayName, options);
        };
}

std::unique_ptr<RDOSession> createSession(const SessionOptions& options)
{
    PstSessionOptions pstOptions;
    pstOptions.session = options;
    return createPstSession(std::move(pstOptions));
}

} // namespace tressimo::mapi
