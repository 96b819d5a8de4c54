// Turning an exception that ended a conversion into its outcome, so that no front end aborts.
#include "converter/ConversionFailure.h"

#include <exception>
#include <new>
#include <system_error>

namespace horofu {

ConversionResult FailedConversion() {
    ConversionResult result;
    result.outcome = ConversionOutcome::Unexpected;
    try {
        throw;
    } catch (const std::bad_alloc&) {
        result.outcome = ConversionOutcome::OutOfMemory;
    } catch (const std::system_error& error) {
        result.systemError = error.code().value();
    } catch (...) {
        // No more is known of it; the message says the conversion failed.
    }
    return result;
}

}  // namespace horofu
