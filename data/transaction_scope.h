// Former header of data::Transaction (TransactionScope is its alias).
#pragma once

#include "data/transaction.h"
