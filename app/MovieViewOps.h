#pragma once
// What the document needs of its view while it opens and closes a movie. The view
// implements it; document tests use a fake.
class IMovieViewOps {
public:
    virtual ~IMovieViewOps() = default;
    // Play state Stopped, side windows closed, the document's contents reset, the
    // slider cleared.
    virtual void CloseMovie() = 0;
    // Shows frame 0 and sets up the view for the movie just opened; non-zero (after
    // closing the movie itself) when the frame cannot be shown.
    virtual int InitAfterOpen() = 0;
};
